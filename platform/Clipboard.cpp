#include "Clipboard.h"

#include "platform/CodePage.h"
#include "platform/SdlVideo.h"

namespace platform {

bool clipboardHasText() { return sdl::start() && SDL_HasClipboardText(); }

bool clipboardText(std::string& text, int& replaced) {
    replaced = 0;
    char* utf8 = sdl::start() ? SDL_GetClipboardText() : nullptr;
    if (!utf8)
        return false;
    const bool some = *utf8 != 0;
    if (some)
        text = codePageFromUtf8(utf8, replaced);
    SDL_free(utf8);
    return some;
}

bool setClipboardText(const std::string& text) {
    return sdl::start() && SDL_SetClipboardText(utf8FromCodePage(text).c_str()) == 0;
}

}  // namespace platform
