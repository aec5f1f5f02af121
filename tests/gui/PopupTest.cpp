// Popup menus and tooltips in open windows, driven by injected input on the
// test clock, with the test font (6 wide, 13 high, descent 3): where menus,
// items and submenus go, highlighting and the submenu delay, choosing;
// tooltips of HTML, their width and their place near the screen's edge.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "gui/GuiRenderer.h"
#include "gui/MenuItem.h"
#include "gui/MessageDest.h"
#include "gui/PopupMenu.h"
#include "gui/TipWindow.h"
#include "gui/Window.h"
#include "gui/html/HTMLPane.h"
#include "platform/Windows.h"
#include "tests/gui/TestFonts.h"
#include "tests/support/GuiTestSupport.h"

using pellium::MenuItem;
using pellium::PopupMenu;
using pellium::Rect;

namespace {

struct Chosen : pellium::MessageDest {
    void message(pellium::Component*, int id, int detail) override { got.push_back({id, detail}); }
    std::vector<std::pair<int, int>> got;
};

// Keeps its children where the test put them.
struct FixedWindow : pellium::Window {
    void layout() override {}
};

MenuItem* item(const char* label, Chosen* dest, int id) {
    auto* i = new MenuItem;
    i->setLabel(label, true);
    i->setMessageDest(dest, id);
    return i;
}

// Client rectangles on the screen, top-down.
Rect screenRect(const pellium::Window& w) {
    Rect r;
    platform::clientRect(w.getHWND(), r.x, r.y, r.width, r.height);
    return r;
}

TEST(PopupMenuTest, ItemsStackFromTheTop) {
    TestFonts fonts;
    PopupMenu menu;
    Chosen chosen;
    for (const char* label : {"Undo", "Redo", "-", "Cut", "Copy", "Paste", "Delete", "-", "Select all"}) {
        if (label[0] == '-')
            menu.addSeparator();
        else
            menu.addItem(item(label, &chosen, 0));
    }
    // Items 13 + 4 * 3 = 25 high and "Select all" + 42 = 102 wide; separators 4.
    int w, h;
    menu.getPreferredSize(w, h);
    EXPECT_EQ(w * 1000 + h, 108 * 1000 + 7 * 25 + 2 * 4 + 6);
    menu.openAt(nullptr, 0, 0, 0, 0, nullptr, 10);  // pending: placed, not opened
    std::vector<int> tops;
    for (const auto& child : menu.children())
        tops.push_back(child->getBounds().y);
    EXPECT_EQ(tops, (std::vector<int>{161, 136, 132, 107, 82, 57, 32, 28, 3}));
    EXPECT_EQ(menu.children()[0]->getBounds(), (Rect{3, 161, 102, 25}));
    menu.close();
    EXPECT_FALSE(menu.isPending());

    // A disabled item says so and takes its submenu with it.
    MenuItem* parent = item("More", &chosen, 99);
    parent->setSubmenu(new PopupMenu);
    parent->setEnabled(false);
    int kind, state;
    parent->getRenderInfo(kind, state);
    EXPECT_EQ(state, pellium::WidgetState::disabled);
    EXPECT_FALSE(parent->getSubmenu()->isEnabled());
    delete parent;
}

// A 300 x 200 window with a menu of Alpha, Beta (One, Two), Gamma (Three)
// and Delta, 78 x 106, opened at the pointer.
class MenuDriveTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* label : {"Alpha", "Beta", "Gamma", "Delta"})
            items.push_back(item(label, &chosen, int(items.size()) + 1));
        for (MenuItem* i : items)
            menu.addItem(i);
        beta->addItem(item("One", &chosen, 11));
        beta->addItem(item("Two", &chosen, 12));
        gamma->addItem(item("Three", &chosen, 21));
        items[1]->setSubmenu(beta);
        items[2]->setSubmenu(gamma);
        window.setResizable(false);
    }
    void TearDown() override { pellium::Window::closeActivePopup(); }

    void open(int left, int x) {
        guitest::openAt(window, left, 100, 300, 200);
        pellium::Event press(pellium::EventType::RightDown, &window);
        press.x = x;
        press.y = 150;
        PopupMenu::popup(press, &menu, nullptr);
        guitest::dispatchAll();
    }
    std::string hot() const {
        std::string s;
        for (MenuItem* i : items)
            s += i->isHot() ? '1' : '0';
        return s;
    }
    void wait(double seconds) {
        clock.advance(seconds);
        guitest::dispatchAll();
    }

    TestFonts fonts;
    guitest::FakeClock clock;
    FixedWindow window;
    PopupMenu menu;
    PopupMenu* beta = new PopupMenu;
    PopupMenu* gamma = new PopupMenu;
    std::vector<MenuItem*> items;
    Chosen chosen;
    guitest::Pointer inMenu{menu};
};

TEST_F(MenuDriveTest, SubmenusWaitTheirDelayAfterEachMoveOntoTheirItem) {
    open(100, 50);
    const Rect main = screenRect(window), m = screenRect(menu);
    EXPECT_EQ(m, (Rect{main.x + 50, main.y + 200 - 106 - 44, 78, 106})) << "hanging below the pointer";
    inMenu.move(10, 90);  // Alpha (3, 78)
    EXPECT_EQ(hot(), "1000");
    inMenu.move(10, 65);  // Beta (3, 53)
    EXPECT_EQ(hot(), "0100");
    std::string open;
    auto note = [&] { open += std::string(beta->isOpen() ? "B" : "-") + (gamma->isOpen() ? "G" : "-") + " "; };
    wait(0.2);
    note();
    inMenu.move(10, 40);  // Gamma, before Beta's time: Beta's opening is cancelled
    wait(0.1);
    note();
    wait(0.15);
    note();
    inMenu.move(10, 65);  // back to Beta: Gamma's closes, Beta's waits its whole delay again
    note();
    wait(0.1);
    note();
    wait(0.15);
    note();
    EXPECT_EQ(open, "-- -- -G -- -- B- ");
    // Beside its item, top edges 3 apart: x = 3 + 72 - 8, y = 53 + 25 - 56 - 3.
    EXPECT_EQ(screenRect(*beta), (Rect{m.x + 67, m.y + 106 - 56 - 19, 66, 56}));

    inMenu.up(10, 65);  // a release on an item with a submenu chooses nothing
    EXPECT_TRUE(menu.isOpen());
    guitest::Pointer inBeta(*beta);
    inBeta.move(10, 10);  // Two
    inBeta.up(10, 10);
    EXPECT_EQ(chosen.got, (std::vector<std::pair<int, int>>{{12, 0}}));
    EXPECT_FALSE(menu.isOpen() || beta->isOpen());
    EXPECT_EQ(PopupMenu::current(), nullptr);
}

TEST_F(MenuDriveTest, NearTheScreensRightEdgeMenusTurnLeft) {
    const int screenWidth = platform::screenMetrics().width;
    open(screenWidth - 300, 280);  // the pointer 20 from the edge
    const Rect m = screenRect(menu);
    EXPECT_EQ(m.x, screenWidth - 78) << "against the edge";
    inMenu.move(10, 65);
    wait(0.3);
    ASSERT_TRUE(beta->isOpen());
    EXPECT_EQ(screenRect(*beta).x, m.x + 3 - 66) << "to the left of its menu";
}

TEST_F(MenuDriveTest, AMenuTallerThanTheScreenOpensAtItsTop) {
    for (int i = 0; i < 96; ++i)
        menu.addItem(item("More", &chosen, 0));
    open(100, 50);
    const int screenHeight = platform::screenMetrics().height;
    EXPECT_EQ(screenRect(menu), (Rect{screenRect(window).x + 50, 0, 78, screenHeight}));
    EXPECT_EQ(items[0]->getBounds(), (Rect{3, screenHeight - 3 - 25, 72, 25})) << "the first item at the top";
}

TEST(TipDriveTest, PagesLinesAndTheFallbackNearTheEdge) {
    TestFonts fonts;
    guitest::FakeClock clock;
    pellium::TipWindow::install();
    FixedWindow window;
    window.setResizable(false);
    auto* target = new pellium::Component;
    target->setBounds({200, 20, 100, 50});
    window.add(target);
    const int screenWidth = platform::screenMetrics().width;
    guitest::openAt(window, screenWidth - 300, 0, 300, 200);  // in the screen's bottom-right corner
    guitest::Pointer pointer(window);
    // Rests the pointer on the target, 50 from the screen's right edge and 41
    // from its bottom, until its tooltip opens.
    auto hover = [&](const char* text) {
        target->setToolTip(text, 0);
        pointer.move(290, 150);
        pointer.move(250, 40);
        clock.advance(0.7);
        guitest::dispatchAll();
        pellium::TipWindow* tip = pellium::TipWindow::latest();
        return tip && tip->isOpen() ? tip : nullptr;
    };
    pellium::TipWindow* tip = hover("<body>Some <b>bold</b> words");
    ASSERT_NE(tip, nullptr);
    ASSERT_NE(tip->pane(), nullptr);
    // 200 wide without a width hint: where it does not fit, it stands left of
    // the pointer, and above it with its bottom 4 above the pointer's row.
    EXPECT_EQ(screenRect(*tip), (Rect{screenRect(window).x + 250 - 200, screenRect(window).y + 159 - 4 - 26, 200, 27}));
    tip = hover("<body widthhint=120>x");
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(screenRect(*tip).width, 120);
    // A width hint past the screen: the page wraps at the screen's width and the tip stays on it.
    for (const char* wide : {"<body widthhint=16384>x", "<body widthhint=32767>x"}) {
        tip = hover(wide);
        ASSERT_NE(tip, nullptr) << wide;
        const Rect r = screenRect(*tip);
        EXPECT_TRUE(r.x >= 0 && r.x + r.width <= screenWidth) << wide << ": " << r.x << " wide " << r.width;
    }
    tip = hover("a\n");
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->lines(), (std::vector<orvel_string>{"a", ""}));
    pellium::Component::setToolTipMaker(nullptr);
}

}  // namespace
