#include "ModeGuard.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <iterator>

#include "platform/SignalChain.h"

namespace platform {
namespace modeguard {

namespace {

constexpr int maxMonitors = 8;
constexpr int maxOutputs = 8;

// RandR's SetCrtcConfig request as it goes on the wire, in the client's byte
// order; only the outputs in use are sent.
struct SetCrtcConfig {
    std::uint8_t major = 0;
    std::uint8_t minor = 21;
    std::uint16_t words = 0;  // the request's length in 4-byte words
    std::uint32_t crtc = 0;
    std::uint32_t time = 0;  // CurrentTime
    std::uint32_t configTime = 0;
    std::int16_t x = 0, y = 0;
    std::uint32_t mode = 0;
    std::uint16_t rotation = 0;
    std::uint16_t pad = 0;
    std::uint32_t outputs[maxOutputs] = {};
};
static_assert(sizeof(SetCrtcConfig) == 28 + 4 * maxOutputs, "the request has no padding");

// RandR's SetScreenSize: a switch may shrink the whole screen with the mode,
// and a monitor gets its own mode back only on a screen large enough for it.
struct SetScreenSize {
    std::uint8_t major = 0;
    std::uint8_t minor = 7;
    std::uint16_t words = 5;
    std::uint32_t root = 0;
    std::uint16_t width = 0, height = 0;
    std::uint32_t widthMM = 0, heightMM = 0;
};
static_assert(sizeof(SetScreenSize) == 20, "the request has no padding");

// The core GetInputFocus: its answer, the last, says the server has done
// everything written before it.
const std::uint8_t getInputFocus[4] = {43, 0, 1, 0};

struct Saved {
    volatile sig_atomic_t armed = 0;
    SetCrtcConfig request;
};

Display* connection = nullptr;  // ours alone: SDL never sees it
int randrOpcode = 0;
Saved saved[maxMonitors];
SetScreenSize screenSize;  // the screen before the first of the switches

const int watchedSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGQUIT, SIGINT, SIGTERM, SIGHUP};
SignalChain chain;

bool anyArmed() {
    for (const Saved& s : saved)
        if (s.armed)
            return true;
    return false;
}

// Writes the screen's size and every armed monitor's mode, the size once more
// (a screen that grew for the switch shrinks only after its monitors did),
// and waits (a second at most) for the server's answer to the last request:
// then the display is back even if the process ends at once. Only
// async-signal-safe calls from here on.
void putBack() {
    if (!connection || !anyArmed())
        return;
    int fd = ConnectionNumber(connection);
    unsigned long sequence = NextRequest(connection);
    bool written = writeAll(fd, &screenSize, sizeof screenSize);
    for (Saved& s : saved)
        if (s.armed) {
            s.armed = 0;
            written = written && writeAll(fd, &s.request, s.request.words * 4u);
            ++sequence;
        }
    written = written && writeAll(fd, &screenSize, sizeof screenSize) && writeAll(fd, getInputFocus, 4);
    sequence += 2;
    if (!written)
        return;
    unsigned char answer[32];
    size_t have = 0;
    for (;;) {
        pollfd wait{fd, POLLIN, 0};
        if (poll(&wait, 1, 1000) <= 0)
            return;
        ssize_t n = read(fd, answer + have, sizeof answer - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        have += size_t(n);
        if (have < sizeof answer)
            continue;
        have = 0;
        // Errors (0) and replies (1) carry the request's sequence number;
        // none of the replies asked for here has more than 32 bytes.
        unsigned answered = answer[2] | unsigned(answer[3]) << 8;
        if (answer[0] <= 1 && answered == (sequence & 0xFFFF))
            return;
    }
}

// Puts the modes back, then lets the signal do what it did before.
void onSignal(int sig, siginfo_t* info, void* context) {
    int savedErrno = errno;
    putBack();
    chain.passOn(sig, info, context);
    errno = savedErrno;
}

bool connect() {
    if (connection)
        return true;
    connection = XOpenDisplay(nullptr);
    int event, error, major = 0, minor = 0;
    if (connection && XQueryExtension(connection, "RANDR", &randrOpcode, &event, &error) &&
        XRRQueryVersion(connection, &major, &minor) && (major > 1 || minor >= 3))
        return true;
    if (connection)
        XCloseDisplay(connection);
    connection = nullptr;
    return false;
}

// The screen's size now, as SetScreenSize wants it; false when unknown.
bool currentScreenSize(SetScreenSize& r) {
    Window root = DefaultRootWindow(connection);
    XRRScreenConfiguration* config = XRRGetScreenInfo(connection, root);
    if (!config)
        return false;
    Rotation rotation;
    int count = 0;
    SizeID current = XRRConfigCurrentConfiguration(config, &rotation);
    XRRScreenSize* sizes = XRRConfigSizes(config, &count);
    bool known = current < count;
    if (known) {
        r = SetScreenSize();
        r.major = std::uint8_t(randrOpcode);
        r.root = std::uint32_t(root);
        r.width = std::uint16_t(sizes[current].width);
        r.height = std::uint16_t(sizes[current].height);
        r.widthMM = std::uint32_t(sizes[current].mwidth);
        r.heightMM = std::uint32_t(sizes[current].mheight);
    }
    XRRFreeScreenConfigInfo(config);
    return known;
}

}  // namespace

void remember(int monitor, int x, int y) {
    if (monitor < 0 || monitor >= maxMonitors || saved[monitor].armed || !connect())
        return;
    if (!anyArmed() && !currentScreenSize(screenSize))
        return;
    XRRScreenResources* screen = XRRGetScreenResourcesCurrent(connection, DefaultRootWindow(connection));
    if (!screen)
        return;
    bool found = false;
    for (int i = 0; i < screen->ncrtc && !found; ++i) {
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(connection, screen, screen->crtcs[i]);
        if (!crtc)
            continue;
        if (crtc->mode != None && crtc->x == x && crtc->y == y && crtc->noutput <= maxOutputs) {
            SetCrtcConfig& r = saved[monitor].request;
            r = SetCrtcConfig();
            r.major = std::uint8_t(randrOpcode);
            r.words = std::uint16_t(7 + crtc->noutput);
            r.crtc = std::uint32_t(screen->crtcs[i]);
            r.configTime = std::uint32_t(screen->configTimestamp);
            r.x = std::int16_t(crtc->x);
            r.y = std::int16_t(crtc->y);
            r.mode = std::uint32_t(crtc->mode);
            r.rotation = std::uint16_t(crtc->rotation);
            for (int o = 0; o < crtc->noutput; ++o)
                r.outputs[o] = std::uint32_t(crtc->outputs[o]);
            found = true;
        }
        XRRFreeCrtcInfo(crtc);
    }
    XRRFreeScreenResources(screen);
    if (!found)
        return;
    // Nothing of Xlib's may wait in the connection when the handler writes to it.
    XSync(connection, False);
    chain.install(watchedSignals, std::size(watchedSignals), onSignal);
    saved[monitor].armed = 1;
}

void switched() {
    if (!connection || !anyArmed())
        return;
    XRRScreenResources* screen = XRRGetScreenResourcesCurrent(connection, DefaultRootWindow(connection));
    if (!screen)
        return;
    for (Saved& s : saved)
        if (s.armed)
            s.request.configTime = std::uint32_t(screen->configTimestamp);
    XRRFreeScreenResources(screen);
}

void forget(int monitor) {
    if (monitor >= 0 && monitor < maxMonitors)
        saved[monitor].armed = 0;
}

}  // namespace modeguard
}  // namespace platform
