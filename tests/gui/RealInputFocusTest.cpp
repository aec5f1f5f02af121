// The keyboard focus and popups across windows, driven by real input
// (xdotool): keys belong to the window they are typed into, and the wheel in
// a popup takes no focus.
#include <string>
#include <vector>

#include "gui/Button.h"
#include "gui/Checkbox.h"
#include "gui/ComboBox.h"
#include "gui/ComboBoxInfo.h"
#include "gui/ComboBoxList.h"
#include "gui/ComboInternals.h"
#include "gui/ScrollBar.h"
#include "gui/ScrollPane.h"
#include "tests/gui/RealInput.h"
#include "tests/gui/TestFonts.h"
#include "tests/support/WidgetDriver.h"

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
    pellium::ComboBoxList* openList(Combo* combo) {
        pellium::ComboBoxList* l = combo->internals().list();
        return l && l->isOpen() ? l : nullptr;
    }
};

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
// keyboard with the dialog: once an entry is chosen, Enter reaches the
// default button and Tab moves on.
TEST_F(FocusAndPopupsTest, TheWheelInAComboListLeavesTheFocusInTheDialog) {
    TestFonts fonts{sevenWide()};
    MessageCount messages;
    Entries info(20);
    auto* check = new pellium::Checkbox("A");
    auto* combo = new Combo(&info);
    auto* ok = new pellium::Button("OK");
    int id = 1;
    for (pellium::Component* c : {static_cast<pellium::Component*>(check), static_cast<pellium::Component*>(combo),
                                  static_cast<pellium::Component*>(ok)}) {
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
}
