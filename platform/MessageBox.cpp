#include "MessageBox.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/SdlVideo.h"

namespace platform {

namespace {

struct Boxes {
    bool recording;
    std::vector<MessageBoxRecord> records;
    Boxes() {
        const char* mode = std::getenv("KALVORA_MESSAGE_BOXES");
        recording = mode && std::strcmp(mode, "record") == 0;
    }
};

Boxes& boxes() {
    static Boxes b;
    return b;
}

}  // namespace

int messageBox(const char* text, const char* title, MessageBoxIcon icon) {
    text = text ? text : "";
    title = title ? title : "";
    // Also on the error stream, so that a box nobody sees still leaves a trace.
    std::fprintf(stderr, "%s %s\n", title, text);
    Boxes& b = boxes();
    if (b.recording) {
        b.records.push_back({title, text, icon});
        return 1;
    }
    Uint32 flags = icon == MessageBoxIcon::Error     ? SDL_MESSAGEBOX_ERROR
                   : icon == MessageBoxIcon::Warning ? SDL_MESSAGEBOX_WARNING
                                                     : SDL_MESSAGEBOX_INFORMATION;
    if (!sdl::start())
        return 0;
    // SDL draws the box with the X server's core fonts (the setup script
    // installs them); without them it shows nothing, so say why.
    if (SDL_ShowSimpleMessageBox(flags, title, text, nullptr) == 0)
        return 1;
    std::fprintf(stderr, "The message box could not be shown: %s\n", SDL_GetError());
    return 0;
}

void setMessageBoxRecording(bool on) { boxes().recording = on; }

const std::vector<MessageBoxRecord>& recordedMessageBoxes() { return boxes().records; }

void clearRecordedMessageBoxes() { boxes().records.clear(); }

}  // namespace platform
