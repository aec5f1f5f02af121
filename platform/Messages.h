// Window messages as the toolkit's window procedure expects them: one record
// per thing that happened to a window, in client coordinates counted from the
// top-left corner. The layer makes them from SDL events; tests inject them.
#pragma once

#include <cstdint>

namespace platform {

// Identifies one native window; 0 is no window.
using WindowId = std::uint32_t;

// Key identities. Letters and digits are their upper-case ASCII codes; the
// rest lie above the character range so the two never meet.
enum Key : int {
    KeyNone = 0,
    KeyBackspace = 0x100,
    KeyTab,
    KeyEnter,
    KeyEscape,
    KeySpace,
    KeyShift,
    KeyControl,
    KeyAlt,
    KeyLeft,
    KeyRight,
    KeyUp,
    KeyDown,
    KeyInsert,
    KeyDelete,
    KeyHome,
    KeyEnd,
    KeyPageUp,
    KeyPageDown,
    KeyF1,  // KeyF1 + n is F(n + 1), up to F12
    KeyF12 = KeyF1 + 11,
    KeyLeftShift,
    KeyRightShift,
    KeyLeftControl,
    KeyRightControl,
    KeyOther,  // a key the layer does not name
    KeyCount
};

enum class MessageType {
    Create,       // sent during createWindow, before it returns
    Destroy,      // sent during destroyWindow
    Move,
    Size,         // width, height: the new client size
    Paint,        // the window's content was lost
    Close,        // the user or the system asks the window to close
    ActivateApp,  // activate: the application gained (true) or lost its last focus
    KeyDown,
    KeyUp,
    Char,         // character: one Latin-1 character, or 1..26 for Ctrl+letter
    SysKeyDown,   // a key with Alt held (altContext), or F10 alone
    SysKeyUp,
    MouseMove,
    LeftButtonDown,
    LeftButtonUp,
    MiddleButtonDown,
    MiddleButtonUp,
    RightButtonDown,
    RightButtonUp,
    MouseWheel,     // wheel: 120 per notch, positive away from the user
    QueryDragIcon,  // which icon to show while the window is dragged minimised: answered with an IconId
    // A button pressed on a window while its top-level window lacks the keys,
    // before the press itself: answered with ActivateOnPress or NoActivateOnPress.
    MouseActivate
};

// Answers to MouseActivate.
constexpr long ActivateOnPress = 1;    // the top-level window takes the keys; the press arrives active
constexpr long NoActivateOnPress = 3;  // the keys stay where they are

struct Message {
    MessageType type = MessageType::Paint;
    WindowId window = 0;
    int key = KeyNone;
    int character = 0;
    bool altContext = false;
    int x = 0, y = 0;  // client position, top-down; may lie outside while a button is held
    int wheel = 0;
    int width = 0, height = 0;
    bool activate = false;
    // Buttons (bit 0 left, 1 middle, 2 right) and modifiers when the message was made.
    std::uint8_t buttons = 0;
    bool shift = false, ctrl = false, alt = false;
};

// The one procedure every message goes to; its result is the message's answer.
using WindowProcedure = long (*)(const Message& message);

}  // namespace platform
