// The text field: key scripts against the whole key table (selection with
// Shift, undo and redo, the maximum length, keys it leaves alone), the
// mouse and the edit menu in an open window, its picture with the test font,
// and copy and paste through the real clipboard with a second program
// (xclip) on the display, both ways.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <string>

#include "base/Clock.h"
#include "gui/Clipboard.h"
#include "gui/MenuItem.h"
#include "gui/PelliumAction.h"
#include "gui/PopupMenu.h"
#include "gui/TextInput.h"
#include "gui/TextInputInternals.h"
#include "platform/Windows.h"
#include "tests/gui/TestFonts.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/LogCapture.h"
#include "tests/support/Pictures.h"
#include "tests/support/WidgetDriver.h"

using guitest::Pairs;
using pellium::TextInput;
namespace Key = pellium::Key;

namespace {

// Key codes with Shift or Ctrl held.
constexpr int shift = 0x10000, ctrl = 0x20000;

void press(TextInput& field, int code) {
    pellium::Event e;
    e.type = pellium::EventType::Key;
    e.code = code & 0xFFFF;
    e.shift = (code & shift) != 0;
    e.ctrl = (code & ctrl) != 0;
    field.handleKey(e);
}

// "text|cursor" with the selection as "[s,e)" when there is one.
std::string state(TextInput& field) {
    const pellium::TextInputInternals& in = field.internals();
    std::string s = std::string(field.getLabel().c_str()) + "|" + std::to_string(in.cursor);
    if (in.hasSelection())
        s += " [" + std::to_string(in.selectionStart) + "," + std::to_string(in.selectionEnd) + ")";
    return s;
}

// Runs a program to its end while this one pumps its messages, so that it
// can ask for our clipboard; what it printed.
std::string whilePumping(const std::string& command) {
    auto output = std::async(std::launch::async, [command] { return support::commandOutput(command); });
    while (output.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        platform::pumpMessages();
    return output.get();
}

}  // namespace

TEST(TextInputKeysTest, ScriptsOfKeys) {
    const struct {
        const char* text;
        int maxLength, cursor;
        std::vector<int> keys;
        const char* expected;
        int messages;  // handled keys
    } rows[] = {
        {"abc", 5, 3, {'d', 'e', 'f', 'g'}, "abcde|5", 4},
        {"abcdef", 3, 6, {'x', 8, 'y'}, "abcde|5", 3},  // longer than the maximum: no more typing
        {"abcdef", -1, 2, {Key::Right | shift, Key::Right | shift, Key::Right | shift, Key::Home | shift},
         "abcdef|0 [0,5)", 4},
        {"abcdef", -1, 4, {Key::Left | shift, Key::Left | shift, Key::End | shift}, "abcdef|6 [2,6)", 3},
        {"abcdef", -1, 4, {Key::Left | shift, Key::Right | shift, Key::Right | shift}, "abcdef|5 [4,5)", 3},
        {"abcdef", -1, 1, {Key::Right | shift, Key::Right | shift, 8, Key::Delete}, "aef|1", 4},
        {"abcdef", -1, 0, {Key::Right | shift, Key::Left | shift, Key::Left | shift, Key::Left}, "abcdef|0", 4},
        {"abc", -1, 3, {Key::Home, Key::Delete, Key::End, 8, Key::Insert}, "b|1", 5},
        {"ab", -1, 2, {Key::Up, Key::Down, 200, 127, 1, Key::F1}, "ab|2", 0},  // not for the field
        {"ab", -1, 1, {'x', 'y', 26, 26, 25}, "axb|2", 5},
        {"ab", -1, 2, {Key::Left | shift, 'z', 26}, "ab|1 [1,2)", 3},  // undo brings the selection back
        {"ab", -1, 2, {3, 26, 26, 25, 25}, "ab|2", 5},  // Ctrl+C leaves a state to undo
        // The clipboard's keys: Ctrl+X, then Shift+Insert; Ctrl+Insert, Shift+Delete and Ctrl+V.
        {"abcdef", -1, 1, {Key::Right | shift, Key::Right | shift, 24, Key::End, Key::Insert | shift}, "adefbc|6", 5},
        {"abc", -1, 3, {Key::Left | shift, Key::Insert | ctrl, Key::Home, Key::Insert | shift, Key::Right | shift,
                        Key::Delete | shift, 22}, "cabc|2", 7},
    };
    for (const auto& row : rows) {
        TextInput field;
        guitest::MessageLog log;
        field.setMessageDest(&log, 4);
        field.setMaxLength(row.maxLength);
        field.setText(row.text);
        press(field, Key::End);
        for (int i = int(field.getLabel().length()); i > row.cursor; --i)
            press(field, Key::Left);
        log.got.clear();
        for (int k : row.keys)
            press(field, k);
        EXPECT_EQ(state(field), row.expected) << row.text << " from " << row.cursor;
        EXPECT_EQ(int(log.got.size()), row.messages) << row.text << " from " << row.cursor;
    }
    TextInput field;
    guitest::MessageLog log;
    field.setMessageDest(&log, 4);
    field.setOption(false);  // changes nothing the keys do
    for (int k : {int('a'), 13, 9})
        press(field, k);
    EXPECT_EQ(log.got, (Pairs{{4, 0}, {4, 1}, {4, 1}}));
    press(field, 3);
    field.setText("new");
    press(field, 26);
    EXPECT_EQ(state(field), "new|1") << "text set from the program empties the stacks";
}

namespace {

class TextInputDriveTest : public guitest::WidgetDriveTest {
protected:
    void SetUp() override {
        WidgetDriveTest::SetUp();
        field = place(new TextInput, {10, 20, 125, 26}, 5);
        field->setText("hello world");
    }
    TestFonts fonts{guitest::sevenWide()};  // text from x = 16, 7 pixels a character
    TextInput* field = nullptr;
};

}  // namespace

TEST_F(TextInputDriveTest, TheMousePlacesTheCaretAndSelects) {
    int w, h, x, y;
    field->getPreferredSize(w, h);
    field->origin(x, y);
    EXPECT_EQ(std::vector<int>({w, h, x, y}), std::vector<int>({125, 26, 16, 27}));
    click(16 + 7 * 4 + 3, 30);  // nearer the left edge of 'o'
    EXPECT_EQ(state(*field), "hello world|4");
    click(16 + 7 * 4 + 4, 30);
    EXPECT_EQ(state(*field), "hello world|5");
    move(18, 30);
    down(18, 30);
    move(16 + 7 * 3, 30);
    up(16 + 7 * 3, 30);
    EXPECT_EQ(state(*field), "hello world|3 [0,3)");
    move(5, 30);
    EXPECT_EQ(state(*field), "hello world|3 [0,3)") << "the drag is over";
    clock.advance(1);
    for (int i = 0; i < 2; ++i) {
        down(40, 30);
        up(40, 30);
    }
    EXPECT_EQ(state(*field), "hello world|11 [0,11)") << "a double click selects everything";
}

TEST_F(TextInputDriveTest, TextChangedByTheProgramDuringADragKeepsTheSelectionInIt) {
    move(100, 30);
    down(100, 30);  // the anchor after "hello world"
    field->setText("hi");
    move(16 + 7, 30);
    up(16 + 7, 30);
    EXPECT_EQ(state(*field), "hi|1 [1,2)");
}

TEST_F(TextInputDriveTest, PictureCaretSelectionAndScrolling) {
    guitest::DistinctColours colours;
    click(16 + 7 * 2, 30);
    press(*field, Key::Right | shift);
    window.repaint();
    // Under the text and through it: the selected 'l' on its band, the red caret after it.
    EXPECT_EQ(guitest::picture(window.graphics(), {29, 24, 11, 1})[0], "wsssssss..w");
    EXPECT_EQ(guitest::picture(window.graphics(), {29, 30, 11, 1})[0], "wtttttts..#");
    press(*field, Key::End);
    field->setBounds({10, 20, 10, 26});  // narrower than its own padding
    window.repaint();
    EXPECT_EQ(field->internals().firstVisible, 11) << "never past the caret";
    field->setBounds({10, 20, 125, 26});
    window.repaint();
    EXPECT_EQ(field->internals().firstVisible, 0) << "the rest shows again once it fits";
}

TEST_F(TextInputDriveTest, TheEditMenuOffersWhatTheFieldCanDo) {
    pellium::Clipboard().setText("");
    click(16, 30);
    press(*field, Key::Right | shift);
    press(*field, Key::Right | shift);
    auto rightClick = [&] {
        for (auto type : {platform::MessageType::RightButtonDown, platform::MessageType::RightButtonUp})
            guitest::mouse(type, window, 20, 199 - 30, 0);
        guitest::dispatchAll();
        pellium::PopupMenu* menu = pellium::PopupMenu::current();
        std::string enabled;
        for (const auto& child : menu ? menu->children() : decltype(menu->children()){})
            if (auto* item = dynamic_cast<pellium::MenuItem*>(child.get()))
                enabled += std::string(item->isEnabled() ? "+" : "-") + item->getLabel().c_str() + " ";
        return enabled;
    };
    EXPECT_EQ(rightClick(), "-Undo -Redo +Cut +Copy -Paste +Delete +Select all ");
    for (const auto& child : pellium::PopupMenu::current()->children())
        if (child->getLabel() == "Cut")
            child->handleEvent(pellium::Event(pellium::EventType::LeftUp, pellium::PopupMenu::current()));
    EXPECT_EQ(pellium::PopupMenu::current(), nullptr);
    EXPECT_EQ(state(*field), "llo world|0");
    EXPECT_EQ(messages.got.size(), 2u) << "the two keys; the menu's commands send nothing";
    EXPECT_EQ(rightClick(), "+Undo -Redo -Cut -Copy +Paste -Delete +Select all ");
    pellium::Window::closeActivePopup();
}

TEST_F(TextInputDriveTest, CopyAndPasteWithAnotherProgram) {
    ASSERT_EQ(std::system("command -v xclip >/dev/null 2>&1"), 0) << "scripts/setup.sh installs xclip";
    field->setText("Gr\xFC\xDF" "e 5\x80");
    click(16, 30);
    press(*field, Key::End | shift);
    press(*field, 3);
    EXPECT_EQ(whilePumping("xclip -o -selection clipboard"), "Gr\xC3\xBC\xC3\x9F" "e 5\xE2\x82\xAC");
    ASSERT_EQ(std::system("printf 'pasted \\342\\230\\203 here\\nnext line' | xclip -i -selection clipboard"), 0);
    // xclip takes the clipboard in its own time, after it went to the background.
    for (double end = orvel::getTime() + 20; pellium::Clipboard().getText() == "Gr\xFC\xDF" "e 5\x80";)
        ASSERT_LT(orvel::getTime(), end) << "xclip never took the clipboard";
    LogCapture log;
    press(*field, Key::End);
    press(*field, 22);
    EXPECT_EQ(state(*field), "Gr\xFC\xDF" "e 5\x80" "pasted ? here|21") << "up to the line's end";
    EXPECT_EQ(log.count("Clipboard text: 1 characters the code page lacks became '?'\n"), 1);
    pellium::Clipboard().setText("");  // xclip lets go and ends
}
