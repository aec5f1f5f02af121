// The combo box with the test font in an open window: its parts' sizes and
// text, the popup list's size, place and scrolling, and choosing entries by
// injected input and by real input (xdotool) on the display.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "gui/ComboBox.h"
#include "gui/ComboBoxInfo.h"
#include "gui/ComboBoxList.h"
#include "gui/ComboInternals.h"
#include "gui/EventQueue.h"
#include "gui/ScrollBar.h"
#include "gui/ScrollPane.h"
#include "gui/gdiGraphics.h"
#include "platform/Windows.h"
#include "tests/gui/TestFonts.h"
#include "tests/support/Pictures.h"
#include "tests/support/WidgetDriver.h"

using guitest::Pairs;

namespace {

struct Entries : pellium::ComboBoxInfo {
    explicit Entries(int n) {
        for (int i = 0; i < n; ++i)
            names.push_back("entry " + std::to_string(i));
    }
    int count() override { return int(names.size()); }
    const char* text(int index) override { return names.at(size_t(index)).c_str(); }
    std::vector<std::string> names;
};

struct Combo : pellium::ComboBox {
    using ComboBox::ComboBox;
    void popupOpened() override { hooks += "opened "; }
    void popupClosed() override { hooks += "closed "; }
    std::string hooks;
};

class ComboBoxTest : public guitest::WidgetDriveTest {
protected:
    Combo* make(int entries, pellium::Rect r) {
        info = Entries(entries);
        Combo* c = place(new Combo(&info), r, 9);
        c->layout();
        return c;
    }
    pellium::ComboBoxList* list(Combo* c) {
        pellium::ComboBoxList* l = c->internals().list();
        return l && l->isOpen() ? l : nullptr;
    }
    // Screen rectangle of a window's client area: left, top, width, height.
    std::vector<int> screen(pellium::Window* w) {
        int x, y, width, height;
        platform::clientRect(w->getHWND(), x, y, width, height);
        return {x, y, width, height};
    }
    TestFonts fonts{guitest::sevenWide()};
    Entries info{0};
};

}  // namespace

TEST_F(ComboBoxTest, PartsAndTextFollowTheFontAndTheChoice) {
    Combo* combo = make(20, {10, 120, 125, 26});
    int w, h;
    combo->getPreferredSize(w, h);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(125, 26));
    const pellium::Rect& text = combo->internals().getBounds();
    const pellium::Rect& button = combo->children()[1]->getBounds();
    EXPECT_EQ(std::vector<int>({text.x, text.y, text.width, text.height, button.x, button.width}),
              std::vector<int>({12, 122, 99, 22, 111, 22}));
    // The text from x 18: 'c' of "choose..." for no choice and for one past the end, 'e' of an entry.
    auto firstLetter = [&](int index) {
        combo->setSelectedIndex(index);
        window.repaint();
        return window.graphics().pixelAt(18, 130) == guitest::bufferPixel(pellium::GuiColor::window_text);
    };
    EXPECT_TRUE(firstLetter(-1));
    EXPECT_TRUE(firstLetter(20));
    info.names = {};
    EXPECT_FALSE(firstLetter(-1)) << "no entries: no text";
    click(30, 130);
    EXPECT_EQ(list(combo), nullptr) << "and no list";
}

TEST_F(ComboBoxTest, TheListHangsBelowScrollsAndChooses) {
    Combo* combo = make(20, {10, 120, 125, 26});
    click(30, 130);
    pellium::ComboBoxList* l = list(combo);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(combo->hooks, "opened ");
    const std::vector<int> box = screen(&window), popup = screen(l);
    EXPECT_EQ(popup, (std::vector<int>{box[0] + 10, box[1] + 200 - 120, 125, 2 + 8 * 18})) << "8 rows of 18, below";
    auto* scroll = dynamic_cast<pellium::ScrollPane*>(l->children()[0]->asContainer()->children()[0].get());
    ASSERT_NE(scroll, nullptr);
    guitest::Pointer(*l).move(20, 100);  // the wheel turns where the pointer is
    platform::Message wheel = guitest::message(platform::MessageType::MouseWheel, *l);
    wheel.wheel = -120;
    platform::injectMessage(wheel);
    guitest::dispatchAll();
    EXPECT_EQ(scroll->verticalBar()->getValue(), 18) << "the wheel moves one entry";
    // Entry 3 is now the third row from the top: rows are 18 high below a pixel of margin.
    for (int round = 0; round < 2; ++round) {
        if (!list(combo))
            click(30, 130);
        ASSERT_NE(list(combo), nullptr);
        guitest::Pointer inList(*list(combo));
        const int y = 146 - 1 - 2 * 18 - 9 - 18 * round;
        inList.move(20, y);
        inList.down(20, y);
        inList.up(20, y);
        EXPECT_EQ(list(combo), nullptr);
    }
    EXPECT_EQ(messages.got, (Pairs{{9, 3}, {9, 3}})) << "the same choice again still tells";
    EXPECT_EQ(combo->getSelectedIndex(), 3);
    EXPECT_EQ(combo->hooks, "opened closed opened closed ");
}

TEST_F(ComboBoxTest, WhereTheScreenEndsBelowTheListOpensAbove) {
    // Window's bottom 100 pixels above the screen's: a list of 146 below a box at 2 cannot fit.
    Combo* combo = make(20, {10, 2, 125, 26});
    click(120, 10);  // the arrow button
    ASSERT_NE(list(combo), nullptr);
    EXPECT_EQ(screen(list(combo))[1] + 146, screen(&window)[1] + 200 - 28) << "its bottom at the box's top";
}

TEST_F(ComboBoxTest, RealClicksOpenTheListAndChoose) {
    ASSERT_EQ(std::system("command -v xdotool >/dev/null 2>&1"), 0) << "scripts/setup.sh installs xdotool";
    Combo* combo = make(5, {10, 120, 125, 26});
    auto clickAt = [&](pellium::Window* w, int x, int y, const std::function<bool()>& done) {
        const std::vector<int> s = screen(w);
        const std::string command = "xdotool mousemove " + std::to_string(s[0] + x) + " " +
                                    std::to_string(s[1] + s[3] - 1 - y) + " click 1";
        ASSERT_EQ(std::system(command.c_str()), 0);
        for (double end = orvel::getTime() + 20; !done() && orvel::getTime() < end;) {
            guitest::dispatchAll();
            orvel::sleepMs(2);
        }
        ASSERT_TRUE(done()) << command;
    };
    clickAt(&window, 120, 130, [&] { return list(combo) != nullptr; });
    clickAt(list(combo), 20, 2 + 4 * 18 - 9, [&] { return !messages.got.empty(); });
    EXPECT_EQ(messages.got, (Pairs{{9, 1}}));
    EXPECT_EQ(list(combo), nullptr);
}
