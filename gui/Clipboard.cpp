#include "Clipboard.h"

#include <string>

#include "base/Debug.h"
#include "platform/Clipboard.h"

namespace pellium {

Clipboard::Clipboard() : hasText_(platform::clipboardHasText()) {}

const orvel_string& Clipboard::getText() {
    std::string text;
    int replaced = 0;
    if (platform::clipboardText(text, replaced))
        text_.assign(text.c_str(), unsigned(text.size()));
    if (replaced)
        orvel::debug("Clipboard text: %d characters the code page lacks became '?'\n", replaced);
    return text_;
}

void Clipboard::setText(const char* text) {
    if (!platform::setClipboardText(text ? text : ""))
        orvel::debug("Couldn't put the text on the clipboard\n");
}

}  // namespace pellium
