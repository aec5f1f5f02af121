// The keyboard focus and popups across windows, driven by real input
// (xdotool): keys belong to the window they are typed into.
#include <vector>

#include "gui/Button.h"
#include "tests/gui/RealInput.h"
#include "tests/support/WidgetDriver.h"

using namespace guitest;
namespace EventType = pellium::EventType;

namespace {

class FocusAndPopupsTest : public RealInput {};

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
