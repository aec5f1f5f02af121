// Popup menus and tooltips in open windows, driven by injected input on the
// test clock, with the test font (6 wide, 13 high, descent 3): where menus,
// items and submenus go, highlighting, the submenu delay, choosing an item,
// closing on a press elsewhere; tooltips of lines and of HTML, where they
// open and what they paint.
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
#include "tests/support/Pictures.h"

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

TEST(PopupMenuTest, ItemsStackFromTheTop) {
    TestFonts fonts;
    PopupMenu menu;
    Chosen chosen;
    int id = 0;
    for (const char* label : {"Undo", "Redo", "-", "Cut", "Copy", "Paste", "Delete", "-", "Select all"}) {
        if (label[0] == '-')
            menu.addSeparator();
        else
            menu.addItem(item(label, &chosen, ++id));
    }
    // Items 13 + 4 * 3 = 25 high and "Select all" + 42 = 102 wide; separators 4.
    int w, h;
    menu.getPreferredSize(w, h);
    EXPECT_EQ(w, 108);
    EXPECT_EQ(h, 7 * 25 + 2 * 4 + 6);
    menu.openAt(nullptr, 0, 0, 0, 0, nullptr, 10);  // pending: placed, not opened
    std::vector<int> tops;
    for (const auto& child : menu.children()) {
        tops.push_back(child->getBounds().y);
        EXPECT_EQ(child->getBounds().x, 3);
        EXPECT_EQ(child->getBounds().width, 102);
    }
    EXPECT_EQ(tops, (std::vector<int>{161, 136, 132, 107, 82, 57, 32, 28, 3}));
    EXPECT_TRUE(menu.isPending());
    menu.close();
    EXPECT_FALSE(menu.isPending());

    // A disabled item says so and takes its submenu with it.
    MenuItem* parent = item("More", &chosen, 99);
    menu.addItem(parent);
    parent->setSubmenu(new PopupMenu);
    parent->setEnabled(false);
    int kind, state;
    parent->getRenderInfo(kind, state);
    EXPECT_EQ(kind * 10 + state, pellium::WidgetKind::menuItem * 10 + pellium::WidgetState::disabled);
    EXPECT_FALSE(parent->getSubmenu()->isEnabled());
}

// A main window 300 x 200 whose right press opens a menu: Alpha, Beta (with
// One and Two), Gamma (with Three) and Delta; the menu is 78 x 106.
class MenuDriveTest : public ::testing::Test {
protected:
    struct Opener : pellium::Component {
        void handleEvent(const pellium::Event& e) override {
            events.push_back(e.type);
            if (e.type == pellium::EventType::RightDown)
                PopupMenu::popup(e, menu, nullptr);
        }
        PopupMenu* menu = nullptr;
        std::vector<int> events;
    };

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
        opener->menu = &menu;
        opener->setBounds({0, 0, 300, 200});
        window.add(opener);
        window.setResizable(false);
    }
    void TearDown() override { pellium::Window::closeActivePopup(); }

    void open(int left, int x = 50) {
        guitest::openAt(window, left, 100, 300, 200);
        pointer.move(x, 150);
        guitest::mouse(platform::MessageType::RightButtonDown, window, x, 49, 2);
        guitest::mouse(platform::MessageType::RightButtonUp, window, x, 49, 0);
        guitest::dispatchAll();
    }
    // Client rectangles on the screen, top-down.
    static Rect screenRect(const pellium::Window& w) {
        Rect r;
        platform::clientRect(w.getHWND(), r.x, r.y, r.width, r.height);
        return r;
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
    Opener* opener = new Opener;
    PopupMenu menu;
    PopupMenu* beta = new PopupMenu;
    PopupMenu* gamma = new PopupMenu;
    std::vector<MenuItem*> items;
    Chosen chosen;
    guitest::Pointer pointer{window};
    guitest::Pointer inMenu{menu};
};

TEST_F(MenuDriveTest, HoverOpensSubmenusAfterTheirDelayAndAReleaseChooses) {
    open(100);
    ASSERT_TRUE(menu.isOpen());
    EXPECT_EQ(PopupMenu::current(), &menu);
    const Rect main = screenRect(window), m = screenRect(menu);
    // Hanging from the pointer: its top edge one row below the pointer's row 49.
    EXPECT_EQ(m, (Rect{main.x + 50, main.y + 200 - 106 - 44, 78, 106}));

    inMenu.move(10, 90);  // Alpha (3, 78)
    EXPECT_EQ(hot(), "1000");
    inMenu.move(10, 65);  // Beta (3, 53): its submenu comes after 0.25 s
    EXPECT_EQ(hot(), "0100");
    wait(0.2);
    EXPECT_FALSE(beta->isOpen());
    inMenu.move(10, 40);  // Gamma, before Beta's time
    wait(0.1);
    EXPECT_FALSE(beta->isOpen()) << "its opening was cancelled";
    wait(0.15);
    EXPECT_TRUE(gamma->isOpen());
    inMenu.move(10, 65);  // back to Beta: Gamma's closes, Beta's waits its own delay again
    EXPECT_FALSE(gamma->isOpen());
    wait(0.1);
    EXPECT_FALSE(beta->isOpen());
    wait(0.15);
    ASSERT_TRUE(beta->isOpen());
    // Beside its item, top edges 3 apart: x = 3 + 72 - 8, y = 53 + 25 - 56 - 3.
    EXPECT_EQ(screenRect(*beta), (Rect{m.x + 67, m.y + 106 - 56 - 19, 66, 56}));

    inMenu.up(10, 65);  // a release on an item with a submenu chooses nothing
    EXPECT_TRUE(menu.isOpen());
    guitest::Pointer inBeta(*beta);
    inBeta.move(10, 10);  // Two
    inBeta.down(10, 10);
    inBeta.up(10, 10);
    EXPECT_EQ(chosen.got, (std::vector<std::pair<int, int>>{{12, 0}}));
    EXPECT_FALSE(menu.isOpen());
    EXPECT_FALSE(beta->isOpen());
    EXPECT_EQ(PopupMenu::current(), nullptr);
}

TEST_F(MenuDriveTest, APressElsewhereClosesItAndItsRelease) {
    open(100);
    inMenu.move(10, 40);
    wait(0.3);
    ASSERT_TRUE(gamma->isOpen());
    opener->events.clear();
    pointer.move(250, 20);
    pointer.down(250, 20);
    pointer.up(250, 20);
    EXPECT_FALSE(menu.isOpen());
    EXPECT_FALSE(gamma->isOpen());
    EXPECT_TRUE(chosen.got.empty());
    for (int type : opener->events)
        EXPECT_NE(type, pellium::EventType::LeftUp) << "the release is swallowed";
}

TEST_F(MenuDriveTest, NearTheScreensRightEdgeMenusTurnLeft) {
    const int screenWidth = platform::screenMetrics().width;
    open(screenWidth - 300, 280);  // the pointer 20 from the edge
    ASSERT_TRUE(menu.isOpen());
    const Rect m = screenRect(menu);
    EXPECT_EQ(m.x, screenWidth - 78) << "against the edge";
    inMenu.move(10, 65);
    wait(0.3);
    ASSERT_TRUE(beta->isOpen());
    EXPECT_EQ(screenRect(*beta).x, m.x + 3 - 66) << "to the left of its menu";
}

class TipDriveTest : public ::testing::Test {
protected:
    void SetUp() override {
        pellium::TipWindow::install();
        target->setBounds({20, 20, 100, 50});
        window.add(target);
        window.setResizable(false);
    }
    void TearDown() override { pellium::Component::setToolTipMaker(nullptr); }
    // Rests the pointer on the target until its tooltip opens.
    pellium::TipWindow* hover(int left, int x, int y) {
        if (window.isOpen()) {
            window.close();
            pellium::Window::destroyClosedWindows();
        }
        guitest::openAt(window, left, 100, 300, 200);
        pointer.move(x, y);
        clock.advance(0.7);
        guitest::dispatchAll();
        pellium::TipWindow* tip = pellium::TipWindow::latest();
        return tip && tip->isOpen() ? tip : nullptr;
    }

    TestFonts fonts;
    guitest::FakeClock clock;
    FixedWindow window;
    pellium::Component* target = new pellium::Component;
    guitest::Pointer pointer{window};
};

TEST_F(TipDriveTest, LinesOpenBelowThePointerAndCloseWhenItMoves) {
    target->setToolTip("Hello\nWorld", 0);
    pellium::TipWindow* tip = hover(100, 30, 40);
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->lines(), (std::vector<orvel_string>{"Hello", "World"}));
    // 5 characters and two 'M' wide; 4 descents and two lines of 13 + 1.
    Rect main, shown;
    platform::clientRect(window.getHWND(), main.x, main.y, main.width, main.height);
    platform::clientRect(tip->getHWND(), shown.x, shown.y, shown.width, shown.height);
    EXPECT_EQ(shown, (Rect{main.x + 30, main.y + 200 - 40 - (40 - 40 - 20), 42, 40}));
    // Baselines 21 and 7 from 'M''s width in, in the tooltip colours, with an outline.
    tip->repaint();
    const pellium::gdiGraphics& g = tip->graphics();
    using pellium::GuiColor;
    EXPECT_EQ(g.pixelAt(7, 25), guitest::bufferPixel(GuiColor::info_text));
    EXPECT_EQ(g.pixelAt(7, 10), guitest::bufferPixel(GuiColor::info_text));
    EXPECT_EQ(g.pixelAt(7, 20), guitest::bufferPixel(GuiColor::info_background));
    EXPECT_EQ(g.pixelAt(0, 39), guitest::bufferPixel(GuiColor::info_text));
    EXPECT_EQ(g.pixelAt(40, 3), guitest::bufferPixel(GuiColor::info_background));

    pointer.move(200, 150);  // off the target: the tip closes
    EXPECT_FALSE(tip->isOpen());
    target->setToolTip("a\n", 0);
    tip = hover(100, 31, 40);
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->lines(), (std::vector<orvel_string>{"a", ""}));
}

TEST_F(TipDriveTest, PagesOfHtmlAndTheFallbackNearTheEdge) {
    target->setToolTip("<body>Some <b>bold</b> words", 0);
    pellium::TipWindow* tip = hover(100, 30, 40);
    ASSERT_NE(tip, nullptr);
    ASSERT_NE(tip->pane(), nullptr);
    EXPECT_EQ(tip->getBounds(), (Rect{0, 0, 200, 27})) << "200 wide without a width hint";
    pointer.move(200, 150);

    target->setToolTip("<body widthhint=120>x", 0);
    const int screenWidth = platform::screenMetrics().width;
    target->setBounds({200, 20, 100, 50});
    tip = hover(screenWidth - 300, 250, 40);  // 50 from the screen's edge: 120 does not fit
    ASSERT_NE(tip, nullptr);
    Rect main, shown;
    platform::clientRect(window.getHWND(), main.x, main.y, main.width, main.height);
    platform::clientRect(tip->getHWND(), shown.x, shown.y, shown.width, shown.height);
    EXPECT_EQ(shown.width, 120);
    EXPECT_EQ(shown.x, main.x + 250 - 120) << "left of the pointer";
}

}  // namespace
