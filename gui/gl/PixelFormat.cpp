#include "PixelFormat.h"

#include "base/Debug.h"

namespace pellium {

int choosePixelFormat(const std::vector<platform::PixelFormat>& formats) {
    using F = platform::PixelFormat;
    int bestColor = 0, bestDepth = 0, bestIndex = 0;
    bool bestGeneric = true;
    for (const F& f : formats) {
        bool generic = (f.flags & F::Generic) != 0;
        if (!(f.flags & F::SupportOpenGL))
            continue;
        // Once an accelerated format was taken, a generic one never is.
        if (generic && !bestGeneric)
            continue;
        if ((f.flags & (F::DrawToWindow | F::DoubleBuffer)) != (F::DrawToWindow | F::DoubleBuffer))
            continue;
        if (f.colorBits < bestColor || f.depthBits <= bestDepth)
            continue;
        if (f.colorBits <= 16 && f.depthBits > 24)
            continue;
        bestColor = f.colorBits;
        bestDepth = f.depthBits;
        bestIndex = f.index;
        bestGeneric = generic;
    }
    return bestIndex;
}

void logPixelFormats(const std::vector<platform::PixelFormat>& formats, int chosen) {
    using F = platform::PixelFormat;
    for (const F& f : formats)
        orvel::debug("%cmode=%d  double=%d  color=%d  depth=%d  alpha=%d  stencil=%d  hard=%d flags=0x%x\n",
                     f.index == chosen ? '*' : ' ', f.index, (f.flags & F::DoubleBuffer) ? 1 : 0, f.colorBits,
                     f.depthBits, f.alphaBits, f.stencilBits, (f.flags & F::Generic) ? 0 : 1, f.flags);
}

int requestWindowPixelFormat() {
    static bool done = false;
    static int chosen = 0;
    if (done)
        return chosen;
    done = true;
    const std::vector<platform::PixelFormat>& formats = platform::pixelFormats();
    orvel::debug("Calling ChoosePixelFormat()\n");
    chosen = choosePixelFormat(formats);
    logPixelFormats(formats, chosen);
    orvel::debug("Pixel format %d chosen...\n", chosen);
    orvel::debug("Setting the pixel format...\n");
    if (platform::requestPixelFormat(chosen)) {
        orvel::debug("SetPixelFormat() returned Ok\n");
    } else {
        orvel::debug("SetPixelFormat() failed!\n");
        chosen = 0;
    }
    return chosen;
}

int setupPixelFormat(platform::WindowId window) { return platform::windowPixelFormat(window); }

}  // namespace pellium
