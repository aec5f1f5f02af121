// The keyboard focus and popups across windows, driven by real input
// (xdotool): keys belong to the window they are typed into, the wheel in a
// popup takes no focus, a closing window closes its popup through its owner,
// and a text field's right press places the caret before the focus arrives.
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "gui/Button.h"
#include "gui/Checkbox.h"
#include "gui/Clipboard.h"
#include "gui/ComboBox.h"
#include "gui/ComboBoxInfo.h"
#include "gui/ComboBoxList.h"
#include "gui/ComboInternals.h"
#include "gui/MenuItem.h"
#include "gui/ScrollBar.h"
#include "gui/ScrollBarBar.h"
#include "gui/ScrollPane.h"
#include "gui/TextInput.h"
#include "platform/MessageBox.h"
#include "tests/gui/RealInput.h"
#include "tests/gui/TestFonts.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/WidgetDriver.h"
#include "tests/support/WindowManagerClaim.h"

using namespace guitest;
namespace EventType = pellium::EventType;

namespace {

struct Entries : pellium::ComboBoxInfo {
    explicit Entries(int n) : n(n) {}
    int count() override { return n; }
    const char* text(int index) override { return index % 2 ? "odd" : "even"; }
    int n;
};

struct Combo : pellium::ComboBox {
    using ComboBox::ComboBox;
    void popupOpened() override { hooks += "opened "; }
    void popupClosed() override { hooks += "closed "; }
    std::string hooks;
};

class FocusAndPopupsTest : public RealInput {
protected:
    // Gives the keys back to the first window while another stays open, as
    // a person would by working in it.
    void keysToFirstWindow() {
        platform::setInputFocus(window.getHWND());
        ASSERT_TRUE(waitUntil([&] { return platform::inputFocus() == window.getHWND(); }));
    }
    pellium::ComboBoxList* openList(Combo* combo) {
        pellium::ComboBoxList* l = combo->internals().list();
        return l && l->isOpen() ? l : nullptr;
    }
};

// Run twice: on the bare display, and with a window manager's claim on it.
class ComboFocusTest : public FocusAndPopupsTest, public ::testing::WithParamInterface<bool> {};

}  // namespace

// A launcher's button opens a second window and keeps the focus in its own;
// Enter and Space typed into the second window are that window's.
TEST_F(FocusAndPopupsTest, KeysGoToTheWindowTheyAreTypedInto) {
    WidgetWindow second;
    second.setBounds({450, 100, 200, 150});
    struct OpensSecond : pellium::MessageDest {
        explicit OpensSecond(pellium::Window& w) : second(w) {}
        void message(pellium::Component*, int, int) override {
            ++presses;
            second.open();
        }
        pellium::Window& second;
        int presses = 0;
    } opens(second);
    auto* button = new pellium::Button("Open");
    button->setMessageDest(&opens, 1);
    window.add(button);
    window.repaint();
    click(button);
    ASSERT_TRUE(second.isOpen());
    ASSERT_TRUE(button->isKeyboardFocus());
    ASSERT_TRUE(waitUntil([&] { return platform::inputFocus() == second.getHWND(); }));
    xdotool("key Return space");
    EXPECT_TRUE(waitUntil([&] { return second.keys.size() == 2; })) << "the keys never reached their window";
    EXPECT_EQ(second.keys, (std::vector<int>{13, ' '}));
    EXPECT_EQ(opens.presses, 1) << "the first window's button was pressed again";
}

// The wheel turned in an open combo list moves the list but leaves the
// keyboard with the dialog. A press on the list's thumb takes the keys into
// the list for its grab; the list hands them back as it closes, whether or
// not a window manager runs (none would: the list is no window of its).
// Once an entry is chosen, Enter reaches the default button, Tab moves on,
// and a click presses a button.
TEST_P(ComboFocusTest, TheWheelOrTheThumbInAComboListLeavesTheFocusInTheDialog) {
    std::optional<support::WindowManagerClaim> claim;
    if (GetParam())
        claim.emplace();
    TestFonts fonts{sevenWide()};
    MessageCount messages;
    Entries info(20);
    auto* check = new pellium::Checkbox("A");
    auto* combo = new Combo(&info);
    auto* ok = new pellium::Button("OK");
    int id = 1;
    for (pellium::Component* c : std::initializer_list<pellium::Component*>{check, combo, ok}) {
        c->setMessageDest(&messages, id++);
        window.add(c);
    }
    window.setDefaultButton(ok);
    window.repaint();
    click(&combo->internals());
    pellium::ComboBoxList* list = openList(combo);
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(combo->internals().isKeyboardFocus());
    auto* scroll = dynamic_cast<pellium::ScrollPane*>(list->children()[0]->asContainer()->children()[0].get());
    ASSERT_NE(scroll, nullptr);
    moveOver(*list, 20, 40);
    ASSERT_TRUE(waitFor(EventType::Enter));
    xdotool("click 5");
    ASSERT_TRUE(waitFor(EventType::Wheel));
    EXPECT_EQ(scroll->verticalBar()->getValue(), 18) << "the wheel moved the list by an entry";
    pellium::ScrollBarBar* track = scroll->verticalBar()->track();
    ASSERT_TRUE(track->placeThumb());
    const pellium::Rect thumb = track->thumb();
    moveOver(*list, thumb.x + thumb.width / 2, list->getBounds().height - 1 - (thumb.y + thumb.height / 2), "click 1");
    ASSERT_TRUE(waitFor(EventType::LeftUp));
    ASSERT_TRUE(waitUntil([&] { return platform::inputFocus() == list->getHWND(); })) << "the thumb's grab took the keys";
    moveOver(*list, 20, 10, "click 1");  // the top row: entry 1
    ASSERT_TRUE(waitUntil([&] { return !openList(combo); }));
    EXPECT_EQ(messages.ids, (std::vector<int>{2}));
    EXPECT_EQ(combo->getSelectedIndex(), 1);
    EXPECT_TRUE(combo->internals().isKeyboardFocus()) << "the focus was left in the closed list";
    xdotool("key Return");
    ASSERT_TRUE(waitFor(EventType::Key));
    EXPECT_EQ(messages.ids, (std::vector<int>{2, 3})) << "Enter reaches the default button";
    xdotool("key Tab");
    ASSERT_TRUE(waitFor(EventType::Key));
    EXPECT_TRUE(check->isKeyboardFocus()) << "Tab moves the focus";
    click(ok);
    EXPECT_EQ(messages.ids, (std::vector<int>{2, 3, 3}));
}

INSTANTIATE_TEST_SUITE_P(Displays, ComboFocusTest, ::testing::Bool(), [](const ::testing::TestParamInfo<bool>& row) {
    return std::string(row.param ? "UnderAWindowManager" : "WithoutAWindowManager");
});

// Without a window manager the layer hands out the keys itself: a second
// window that held them closes and they are back in the first; another
// program puts them on the screen's root and a press on the first window
// brings them back. Either way one click presses its button, and keys
// typed next arrive.
TEST_F(FocusAndPopupsTest, APressOrAClosingWindowGivesTheFirstWindowTheKeys) {
    // A window manager marks the screen's root with its check window.
    if (support::commandOutput("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") != std::string::npos)
        GTEST_SKIP() << "a window manager hands out the keys on this display";
    MessageCount messages;
    auto* button = new pellium::Button("Press");
    button->setMessageDest(&messages, 7);
    window.add(button);
    window.repaint();
    std::string root = support::commandOutput("xdotool search --maxdepth 0 --name ''");
    root = root.substr(0, root.find('\n'));
    for (const std::string away : {"a second window closes", "the keys go to the root"}) {
        if (away == "a second window closes") {
            WidgetWindow second;
            openAt(second, 450, 100, 200, 150);
            ASSERT_TRUE(waitUntil([&] { return platform::inputFocus() == second.getHWND(); }));
            second.close();
            dispatchAll();
        } else {
            xdotool("windowfocus " + root);
            ASSERT_TRUE(waitUntil([] { return !pellium::isApplicationActive(); }));
        }
        messages.ids.clear();
        click(button);
        EXPECT_EQ(messages.ids, (std::vector<int>{7})) << away;
        EXPECT_TRUE(pellium::isApplicationActive()) << away;
        EXPECT_TRUE(waitForMarker()) << away << ": the keys went nowhere";
    }
}

// A second window closes (from the program) while its combo list or a text
// field's edit menu is open and the keys are in the first window: the popup
// closes through its owner, the combo box hears it, and the next click in
// the first window arrives whole.
TEST_F(FocusAndPopupsTest, AClosingWindowClosesItsPopupThroughItsOwner) {
    TestFonts fonts{sevenWide()};
    auto* target = new Recorder("target");
    window.add(target);
    window.repaint();
    Entries info(5);
    for (const char* popup : {"combo list", "edit menu"}) {
        WidgetWindow second;
        openAt(second, 450, 100, 300, 200);
        auto* combo = new Combo(&info);
        combo->setBounds({10, 120, 125, 26});
        second.add(combo);
        combo->layout();
        auto* field = new pellium::TextInput;
        field->setBounds({10, 40, 125, 26});
        second.add(field);
        second.repaint();
        keysToFirstWindow();
        if (std::string(popup) == "combo list") {
            click(&combo->internals());
            ASSERT_NE(openList(combo), nullptr);
        } else {
            click(field, 3);
            ASSERT_NE(pellium::PopupMenu::current(), nullptr);
        }
        second.close();
        dispatchAll();
        EXPECT_EQ(openList(combo), nullptr) << popup;
        EXPECT_EQ(pellium::PopupMenu::current(), nullptr) << popup;
        EXPECT_EQ(pellium::Window::getActivePopup(), nullptr) << popup;
        EXPECT_EQ(combo->hooks, std::string(popup) == "combo list" ? "opened closed " : "") << popup;
        target->events.clear();
        click(target);
        std::vector<int> buttons;
        for (int type : typesOf(target->events))
            if (type == EventType::LeftDown || type == EventType::LeftUp)
                buttons.push_back(type);
        EXPECT_EQ(buttons, (std::vector<int>{EventType::LeftDown, EventType::LeftUp})) << popup;
    }
}

// A submenu still waiting for its delay when its window closes never opens.
TEST_F(FocusAndPopupsTest, ASubmenuWaitingToOpenStaysShutWhenItsWindowCloses) {
    TestFonts fonts;  // menu items 25 high
    FakeClock clock;  // the delay passes when the test says
    WidgetWindow second;
    openAt(second, 450, 100, 300, 200);
    auto item = [](const char* label) {
        auto* i = new pellium::MenuItem;
        i->setLabel(label, false);
        return i;
    };
    pellium::PopupMenu menu;
    auto* sub = new pellium::PopupMenu;
    sub->addItem(item("One"));
    menu.addItem(item("Alpha"));
    menu.addItem(item("Beta"));
    static_cast<pellium::MenuItem*>(menu.children()[1].get())->setSubmenu(sub);
    auto* opener = new MenuOpener;
    opener->menu = &menu;
    opener->setBounds({0, 0, 300, 200});
    second.add(opener);
    keysToFirstWindow();
    click(opener, 3);
    ASSERT_TRUE(menu.isOpen());
    // On Beta: the first move into the menu only enters it.
    moveOver(menu, 10, 3 + 25 + 12);
    moveOver(menu, 11, 3 + 25 + 12);
    ASSERT_TRUE(waitUntil([&] { return sub->isPending(); }));
    const size_t boxes = platform::recordedMessageBoxes().size();
    second.close();
    clock.advance(1);
    dispatchAll();
    EXPECT_FALSE(sub->isPending());
    EXPECT_FALSE(sub->isOpen());
    EXPECT_EQ(platform::recordedMessageBoxes().size(), boxes)
        << platform::recordedMessageBoxes().back().text << " (a submenu over a closed menu)";
    EXPECT_EQ(pellium::Window::getActivePopup(), nullptr);
}

// With the focus elsewhere, a right press after "hello " puts the caret
// there, so the edit menu's Paste inserts at that place.
TEST_F(FocusAndPopupsTest, ARightPressOnAFieldWithoutTheFocusMovesTheCaretForPaste) {
    TestFonts fonts{sevenWide()};
    auto* other = new pellium::Button("Other");
    auto* field = new pellium::TextInput;
    field->setText("hello world");
    window.add(other);
    window.add(field);
    window.repaint();
    click(other);
    ASSERT_TRUE(other->isKeyboardFocus());
    pellium::Clipboard().setText("XY");
    int x, y;
    field->origin(x, y);
    moveTo(x + 7 * 6, height - 1 - (y + 4), "click 3");
    ASSERT_TRUE(waitFor(EventType::RightUp));
    EXPECT_EQ(field->getCursorPosition(), 6);
    EXPECT_TRUE(field->isKeyboardFocus());
    pellium::PopupMenu* menu = pellium::PopupMenu::current();
    ASSERT_NE(menu, nullptr);
    pellium::Component* paste = nullptr;
    for (const auto& child : menu->children())
        if (child->getLabel() == "Paste")
            paste = child.get();
    ASSERT_TRUE(paste && paste->isEnabled());
    click(paste);
    EXPECT_STREQ(field->getLabel().c_str(), "hello XYworld");
    EXPECT_EQ(field->getCursorPosition(), 8);
    pellium::Clipboard().setText("");
}
