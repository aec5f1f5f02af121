// The system clipboard's plain text, through SDL. Text crosses in the
// program's code page; on the system side it is UTF-8 (CodePage.h). Other
// programs receive text put here while the program pumps its messages.
#pragma once

#include <string>

namespace platform {

// Whether the clipboard holds text that is not empty.
bool clipboardHasText();
// The clipboard's text; false, text untouched, when there is none or it
// cannot be read. replaced counts the characters that became '?'.
bool clipboardText(std::string& text, int& replaced);
// Puts text on the clipboard in place of what was there; false when it cannot.
bool setClipboardText(const std::string& text);

}  // namespace platform
