// Input made by the X server itself (XTest through xdotool), not injected:
// it must come through SDL and the window procedure as toolkit events.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "gui/Button.h"
#include "gui/Checkbox.h"
#include "gui/MenuItem.h"
#include "gui/RadioButton.h"
#include "gui/Tab.h"
#include "gui/TabbedPane.h"
#include "gui/TipWindow.h"
#include "tests/gui/RealInput.h"
#include "tests/gui/TestFonts.h"
#include "tests/support/Pictures.h"
#include "tests/support/WidgetDriver.h"

using namespace guitest;
using pellium::Event;
namespace EventType = pellium::EventType;

using RealInputTest = RealInput;

TEST_F(RealInputTest, ClickArrivesWithBottomUpCoordinates) {
    Recorder* r = new Recorder("r", {0, 0, 300, 200});
    window.add(r);
    moveTo(40, 50);
    ASSERT_TRUE(waitFor(EventType::Enter));
    moveTo(41, 50, "click 1");
    ASSERT_TRUE(waitFor(EventType::LeftUp));
    const Event* down = find(EventType::LeftDown);
    ASSERT_NE(down, nullptr);
    EXPECT_EQ(down->window, &window);
    EXPECT_EQ(down->x, 41);
    EXPECT_EQ(down->y, 199 - 50);
    EXPECT_EQ(down->left, 1);
    const Event* move = find(EventType::Move);
    ASSERT_NE(move, nullptr);
    EXPECT_EQ(move->x, 41);
    EXPECT_EQ(move->y, 149);
    ASSERT_FALSE(r->events.empty()) << "the events reached the component";
    EXPECT_EQ(r->events.back().type, EventType::LeftUp);
    EXPECT_TRUE(r->isKeyboardFocus());
}

TEST_F(RealInputTest, KeysAndCharactersArriveOncePerPress) {
    xdotool("key --clearmodifiers a");
    ASSERT_TRUE(waitFor(EventType::Key));
    EXPECT_EQ(events.back().code, 'a');
    xdotool("key Tab");
    ASSERT_TRUE(waitFor(EventType::Key));
    EXPECT_EQ(events.back().code, 9);
    xdotool("key Left");
    ASSERT_TRUE(waitFor(EventType::Key));
    EXPECT_EQ(events.back().code, pellium::Key::Left);
    xdotool("key ctrl+c");
    ASSERT_TRUE(waitFor(EventType::Key));
    EXPECT_EQ(events.back().code, 3);
    EXPECT_EQ(events.back().ctrl, 1);
    // Nothing more came before the marker: each press made exactly one event.
    const size_t count = events.size();
    ASSERT_TRUE(waitForMarker()) << "the marker key never arrived";
    EXPECT_EQ(events.size(), count);
}

TEST_F(RealInputTest, KeypadWithNumLockOffGivesTheNavigationKeys) {
    namespace Key = pellium::Key;
    const struct {
        const char* name;
        int code;
    } keys[] = {{"KP_Left", Key::Left},   {"KP_Right", Key::Right},    {"KP_Up", Key::Up},
                {"KP_Down", Key::Down},   {"KP_Home", Key::Home},      {"KP_End", Key::End},
                {"KP_Prior", Key::PageUp}, {"KP_Next", Key::PageDown}, {"KP_Insert", Key::Insert},
                {"KP_Delete", Key::Delete}};
    for (const auto& k : keys) {
        events.clear();
        xdotool(std::string("key ") + k.name);
        ASSERT_TRUE(waitFor(EventType::Key)) << k.name;
        EXPECT_EQ(events.back().code, k.code) << k.name;
    }
    // Each made its key alone, no character with it.
    events.clear();
    ASSERT_TRUE(waitForMarker()) << "the marker key never arrived";
    EXPECT_TRUE(events.empty());
}

TEST_F(RealInputTest, AltLetterIsAShortcutAndAltAloneOpensTheMenuBar) {
    xdotool("key alt+f");
    ASSERT_TRUE(waitFor(EventType::Shortcut));
    EXPECT_EQ(events.back().code, 'f');
    events.clear();
    xdotool("key alt");
    ASSERT_TRUE(waitFor(EventType::Key));
    EXPECT_EQ(events.back().code, -1);
}

TEST_F(RealInputTest, WheelAndRightButton) {
    moveTo(10, 10);
    ASSERT_TRUE(waitFor(EventType::Enter));
    xdotool("click 4");
    ASSERT_TRUE(waitFor(EventType::Wheel));
    EXPECT_EQ(events.back().wheel, 120);
    xdotool("click 5");
    ASSERT_TRUE(waitFor(EventType::Wheel));
    EXPECT_EQ(events.back().wheel, -120);
    xdotool("click 3");
    ASSERT_TRUE(waitFor(EventType::RightUp));
    ASSERT_NE(find(EventType::RightDown), nullptr);
    EXPECT_EQ(find(EventType::RightDown)->y, 189);
}

TEST_F(RealInputTest, LeavingTheWindowMakesALeaveEvent) {
    moveTo(10, 10);
    ASSERT_TRUE(waitFor(EventType::Enter));
    moveTo(width + 50, 10);
    ASSERT_TRUE(waitFor(EventType::Leave));
    EXPECT_EQ(events.back().window, &window);
}

// A page of widgets on a tabbed pane, used as a person would: clicks toggle
// and select, Tab moves the focus, Space presses, Alt and a shortcut letter
// reach their widget.
TEST_F(RealInputTest, WidgetsAnswerClicksKeysAndShortcuts) {
    MessageCount messages;
    auto* pane = new pellium::TabbedPane;
    window.add(pane);
    auto* page = new pellium::Container;
    auto* go = new pellium::Button("!Go");
    auto* check = new pellium::Checkbox("!Check");
    auto* one = new pellium::RadioButton("!One");
    auto* two = new pellium::RadioButton("T!wo");
    int id = 1;
    for (pellium::Component* c : std::initializer_list<pellium::Component*>{go, check, one, two}) {
        c->setMessageDest(&messages, id++);
        page->add(c);
    }
    auto* other = new pellium::Container;
    other->add(new pellium::Button("Other"));
    pane->addTab("!First", page);
    pellium::Tab* second = pane->addTab("!Second", other);
    window.repaint();
    click(check);
    EXPECT_TRUE(check->isChecked());
    // One jump of the pointer and a click, then a second click without moving.
    click(go);
    xdotool("click 1");
    ASSERT_TRUE(waitFor(EventType::LeftUp));
    EXPECT_TRUE(go->isKeyboardFocus());
    xdotool("key Tab");
    ASSERT_TRUE(waitFor(EventType::Key));
    EXPECT_TRUE(check->isKeyboardFocus());
    xdotool("key space");
    ASSERT_TRUE(waitFor(EventType::Key));
    EXPECT_FALSE(check->isChecked());
    xdotool("key alt+w");
    ASSERT_TRUE(waitFor(EventType::Shortcut));
    EXPECT_TRUE(two->isChecked());
    EXPECT_EQ(messages.ids, (std::vector<int>{2, 1, 1, 2, 4}));
    click(second);
    EXPECT_EQ(pane->getSelectedIndex(), 1);
    EXPECT_TRUE(waitUntil([&] { return other->isVisible() && !page->isVisible(); }));
}

// A freshly opened window, nothing focused yet: Tab gives the first widget
// the focus, shown by the dotted outline round a check box's label, and
// Space ticks it. Alt and a letter then reach no button on the page of a
// tabbed pane that is not shown, nor a disabled one.
TEST_F(RealInputTest, TabWorksBeforeAnyFocusAndShortcutsPassOverWhatTakesNoInput) {
    TestFonts fonts(guitest::sevenWide());
    MessageCount messages;
    auto* box = new pellium::Checkbox("OK");
    window.add(box);
    auto* pane = new pellium::TabbedPane;
    window.add(pane);
    auto* inside = new pellium::Button("!Inside one");
    auto* off = new pellium::Button("!Off");
    inside->setMessageDest(&messages, 1);
    off->setMessageDest(&messages, 2);
    off->setEnabled(false);
    pellium::Container* pages[2] = {new pellium::Container, new pellium::Container};
    pages[0]->add(inside);
    pages[1]->add(off);
    pane->addTab("First", pages[0]);
    pellium::Tab* second = pane->addTab("Second", pages[1]);
    window.repaint();
    xdotool("key Tab");
    ASSERT_TRUE(waitFor(EventType::Key));
    EXPECT_TRUE(box->isKeyboardFocus());
    xdotool("key space");
    ASSERT_TRUE(waitFor(EventType::Key));
    EXPECT_TRUE(box->isChecked());
    ASSERT_TRUE(waitUntil([&] { return !window.isDirty(); }));
    // The label at (x + 22, y + 3): the outline's bottom row from x + 21, one dot in two.
    const pellium::Rect b = box->getBounds();
    Screenshot shot(window);
    EXPECT_EQ(shot.at(b.x + 21, b.y), guitest::bufferPixel(pellium::GuiColor::button_text));
    EXPECT_EQ(shot.at(b.x + 22, b.y), guitest::bufferPixel(pellium::GuiColor::face));
    EXPECT_EQ(shot.at(b.x + 23, b.y), guitest::bufferPixel(pellium::GuiColor::button_text));

    click(second);
    for (const char* keys : {"alt+i", "alt+o"}) {
        xdotool(std::string("key ") + keys);
        ASSERT_TRUE(waitFor(EventType::Shortcut)) << keys;
        EXPECT_TRUE(messages.ids.empty()) << keys;
        EXPECT_TRUE(second->isKeyboardFocus()) << keys;
    }
}

// A tooltip after the real pointer rests, as the display shows it: the test
// font's block glyphs in the tooltip colours, 20 pixels below the pointer.
TEST_F(RealInputTest, RestingThePointerShowsTheTooltip) {
    TestFonts fonts;
    pellium::TipWindow::install();
    auto* spot = new pellium::Spacer(300, 200);
    spot->setToolTip("Hello\nWorld", 0);
    window.add(spot);
    window.repaint();
    moveTo(40, 49);
    moveTo(41, 50);
    ASSERT_TRUE(waitFor(EventType::Hover));
    pellium::TipWindow* tip = pellium::TipWindow::latest();
    ASSERT_TRUE(tip && tip->isOpen());
    dispatchAll();
    int x, y, w, h;
    platform::clientRect(tip->getHWND(), x, y, w, h);
    EXPECT_EQ(x, left + 41);
    EXPECT_EQ(y, top + 50 + 21) << "20 below the pointer's row, counted bottom-up";
    Screenshot shot(*tip);
    using pellium::GuiColor;
    EXPECT_EQ(shot.at(7, 25), guitest::bufferPixel(GuiColor::info_text)) << "H on the first line";
    EXPECT_EQ(shot.at(7, 10), guitest::bufferPixel(GuiColor::info_text)) << "W on the second";
    EXPECT_EQ(shot.at(7, 20), guitest::bufferPixel(GuiColor::info_background));
    EXPECT_EQ(shot.at(0, 0), guitest::bufferPixel(GuiColor::info_text)) << "outline";
    xdotool("click 1");  // any event but a move closes it
    ASSERT_TRUE(waitUntil([&] { return !tip->isOpen(); }));

    spot->setToolTip("<body bgcolor=#FFFF00>Hi <a href=x>there</a>", 0);
    moveTo(60, 50);
    ASSERT_TRUE(waitFor(EventType::Hover));
    tip = pellium::TipWindow::latest();
    ASSERT_TRUE(tip && tip->isOpen() && tip->pane());
    dispatchAll();
    Screenshot page(*tip);
    EXPECT_EQ(page.width, 200) << "a page without a width hint";
    const std::uint32_t yellow = 0xFFFFFF00u, black = 0xFF000000u, blue = 0xFF0000FFu;
    const struct {
        int x, y;
        std::uint32_t colour;
    } probes[] = {{3, 18, yellow}, {6, 18, black}, {10, 18, yellow}, {25, 18, blue}, {25, 11, blue}, {25, 12, yellow}};
    for (const auto& q : probes)
        EXPECT_EQ(page.at(q.x, q.y), q.colour) << "the page's ground, H, the link and its underline at " << q.x
                                               << "," << q.y;
    pellium::Component::setToolTipMaker(nullptr);
}

// A right click opens a menu where the pointer is; resting on an item with a
// submenu opens it; a click chooses; a click elsewhere closes; all seen on
// the display (items 25 high, 6 wide characters).
TEST_F(RealInputTest, PopupMenusFollowThePointer) {
    TestFonts fonts;
    MessageCount chosen;
    pellium::PopupMenu menu;
    auto* sub = new pellium::PopupMenu;
    const char* labels[] = {"Alpha", "Beta", "Gamma"};
    std::vector<pellium::MenuItem*> items;
    for (int i = 0; i < 3; ++i) {
        items.push_back(new pellium::MenuItem);
        items.back()->setLabel(labels[i], false);
        items.back()->setMessageDest(&chosen, i + 1);
        menu.addItem(items.back());
    }
    menu.addSeparator();
    auto* one = new pellium::MenuItem;
    one->setLabel("One", false);
    one->setMessageDest(&chosen, 11);
    sub->addItem(one);
    items[1]->setSubmenu(sub);
    auto* opener = new MenuOpener;
    opener->menu = &menu;
    window.add(opener);
    window.repaint();

    moveTo(60, 40);
    moveTo(61, 40);
    xdotool("click 3");
    ASSERT_TRUE(waitFor(EventType::RightUp));
    ASSERT_TRUE(menu.isOpen());
    int mx, my, mw, mh;
    platform::clientRect(menu.getHWND(), mx, my, mw, mh);
    EXPECT_EQ(mx, left + 61);
    EXPECT_EQ(my, top + 41) << "hanging below the pointer";
    EXPECT_EQ(mh, 3 * 25 + 4 + 6);

    // Timed from before the move: Beta turns hot after it, however late the
    // loop sees that.
    const double beforeMove = orvel::getTime();
    moveOver(menu, 10, 3 + 25 + 12);  // on Beta
    ASSERT_TRUE(waitUntil([&] { return items[1]->isHot(); }));
    ASSERT_TRUE(waitUntil([&] { return sub->isOpen(); }));
    EXPECT_GE(orvel::getTime() - beforeMove, 0.249) << "the submenu waits its quarter second";
    dispatchAll();
    using pellium::GuiColor;
    Screenshot shot(menu);
    EXPECT_EQ(shot.at(10, mh - 3 - 25 - 2), guitest::bufferPixel(GuiColor::selection)) << "Beta highlighted";
    EXPECT_EQ(shot.at(10, mh - 3 - 2), guitest::bufferPixel(GuiColor::face)) << "Alpha not";
    EXPECT_EQ(shot.at(28, 44), guitest::bufferPixel(GuiColor::selection_text)) << "Beta's B, from (27, 38)";
    EXPECT_EQ(shot.at(10, 5), guitest::bufferPixel(GuiColor::dark_shadow_lit)) << "the separator at the bottom";
    EXPECT_EQ(shot.at(10, 4), guitest::bufferPixel(GuiColor::highlight_dim));
    Screenshot subShot(*sub);
    EXPECT_EQ(subShot.at(28, 14), guitest::bufferPixel(GuiColor::menu_text)) << "One's O, from (27, 9)";

    moveOver(*sub, 10, 3 + 12);
    ASSERT_TRUE(waitFor(EventType::Move));
    xdotool("click 1");
    ASSERT_TRUE(waitUntil([&] { return !chosen.ids.empty(); }));
    EXPECT_EQ(chosen.ids, (std::vector<int>{11}));
    EXPECT_FALSE(menu.isOpen());
    EXPECT_FALSE(sub->isOpen());

    // Opened again, a click in the window closes it and chooses nothing; the
    // screen shows the window where Beta's B stood.
    auto onScreen = [&] { return Screenshot(window).at(61 + 28, height - 1 - (41 + mh - 1 - 44)); };
    moveTo(61, 40);
    xdotool("click 3");
    ASSERT_TRUE(waitUntil([&] { return menu.isOpen() && onScreen() == guitest::bufferPixel(GuiColor::menu_text); }));
    moveTo(250, 150);
    xdotool("click 1");
    ASSERT_TRUE(waitUntil([&] { return !menu.isOpen() && onScreen() == guitest::bufferPixel(GuiColor::face); }));
    EXPECT_EQ(chosen.ids.size(), 1u);
}
