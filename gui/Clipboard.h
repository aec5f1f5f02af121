// The system clipboard's plain text, for copy and paste: asked once whether
// it holds text when made, then read or written. Text is in the program's
// code page; characters from other programs that the code page lacks arrive
// as '?', and the log says how many.
#pragma once

#include "base/orvel_string.h"

namespace pellium {

class Clipboard {
public:
    Clipboard();

    bool hasText() const { return hasText_; }
    // The clipboard's text; the text last read stays when there is none.
    const orvel_string& getText();
    // Puts the text on the clipboard in place of what was there; a failure
    // is logged and changes nothing.
    void setText(const char* text);

private:
    bool hasText_ = false;
    orvel_string text_;
};

}  // namespace pellium
