#include "platform/FontBackend.h"

#include "platform/FreeTypeFonts.h"

namespace platform {

namespace {

FontBackend* chosenBackend = nullptr;
unsigned backendGeneration = 0;

}  // namespace

FontBackend& fontBackend() {
    if (chosenBackend)
        return *chosenBackend;
    static FreeTypeFontBackend freeType;
    return freeType;
}

void setFontBackend(FontBackend* backend) {
    if (backend == chosenBackend)
        return;
    chosenBackend = backend;
    ++backendGeneration;
}

unsigned fontBackendGeneration() {
    return backendGeneration;
}

}  // namespace platform
