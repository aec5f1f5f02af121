// Display modes switched for real, on an X server of the test's own (Xvfb)
// that offers four modes besides its 1280 x 1024: the switches touch no other
// test's screen, and the test reads what the server shows through RandR.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

#include "platform/Display.h"
#include "platform/Windows.h"

extern char** environ;

namespace {

using Size = std::pair<int, int>;

// Reads one line from a descriptor within the time; empty when none came.
std::string readLine(int fd, int milliseconds) {
    std::string line;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    char c;
    while (std::chrono::steady_clock::now() < end) {
        pollfd wait{fd, POLLIN, 0};
        if (poll(&wait, 1, 50) <= 0)
            continue;
        if (read(fd, &c, 1) != 1 || c == '\n')
            return line;
        line += c;
    }
    return "";
}

// The server, started for every process of this program; DISPLAY names it
// from then on, for the program's own windows and for the children it starts.
class PrivateDisplay : public ::testing::Environment {
public:
    void SetUp() override {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        std::string fd = std::to_string(ready[1]);
        server = fork();
        if (server == 0) {
            // The server ends with the test, however the test ends.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            dup2(open("/dev/null", O_WRONLY), 2);
            close(ready[0]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ready[1]);
        ASSERT_GT(server, 0);
        std::string number = readLine(ready[0], 20000);
        close(ready[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        std::string name = ":" + number;
        setenv("DISPLAY", name.c_str(), 1);
        x = XOpenDisplay(name.c_str());
        ASSERT_NE(x, nullptr);
        // A request the server refuses fails the test, not the whole program.
        XSetErrorHandler([](Display*, XErrorEvent* e) {
            ADD_FAILURE() << "X error " << int(e->error_code) << " of request " << int(e->request_code) << "."
                          << int(e->minor_code);
            return 0;
        });
        addModes();
    }

    void TearDown() override {
        if (x)
            XCloseDisplay(x);
        if (server > 0) {
            kill(server, SIGTERM);
            waitpid(server, nullptr, 0);
        }
    }

    // The size the monitor (the screen's one CRTC) shows now, when the screen
    // has the same size; {0, 0} when the two differ.
    static Size shown() {
        Size size{0, 0};
        XRRScreenResources* screen = XRRGetScreenResourcesCurrent(x, DefaultRootWindow(x));
        if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(x, screen, screen->crtcs[0])) {
            size = {int(crtc->width), int(crtc->height)};
            XRRFreeCrtcInfo(crtc);
        }
        XRRFreeScreenResources(screen);
        Window root;
        int left, top;
        unsigned width, height, border, depth;
        XGetGeometry(x, DefaultRootWindow(x), &root, &left, &top, &width, &height, &border, &depth);
        return size == Size(int(width), int(height)) ? size : Size(0, 0);
    }

    // Waits up to the time for the screen to show a size.
    static bool shows(Size size, int milliseconds) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (shown() != size && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return shown() == size;
    }

    // Puts the server's own mode back after a test that did not.
    static void reset() {
        if (shown() == Size(1280, 1024))
            return;
        XRRSetScreenSize(x, DefaultRootWindow(x), 1280, 1024, DisplayWidthMM(x, 0), DisplayHeightMM(x, 0));
        XRRScreenResources* screen = XRRGetScreenResourcesCurrent(x, DefaultRootWindow(x));
        XRRSetCrtcConfig(x, screen, screen->crtcs[0], CurrentTime, 0, 0, ownMode, RR_Rotate_0, screen->outputs, 1);
        XRRFreeScreenResources(screen);
    }

    // The connection stays open while the program runs: the modes live with it.
    static Display* x;

private:
    void addModes() {
        XRRScreenResources* screen = XRRGetScreenResourcesCurrent(x, DefaultRootWindow(x));
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(x, screen, screen->crtcs[0]);
        ownMode = crtc->mode;
        const Size sizes[] = {{1024, 768}, {800, 600}, {640, 480}, {640, 350}};
        for (Size s : sizes) {
            std::string name = std::to_string(s.first) + "x" + std::to_string(s.second);
            XRRModeInfo m;
            std::memset(&m, 0, sizeof m);
            m.width = unsigned(s.first);
            m.height = unsigned(s.second);
            m.hTotal = m.width;
            m.vTotal = m.height;
            m.dotClock = 60ul * m.width * m.height;
            m.name = &name[0];
            m.nameLength = unsigned(name.size());
            XRRAddOutputMode(x, screen->outputs[0], XRRCreateMode(x, DefaultRootWindow(x), &m));
        }
        XRRFreeCrtcInfo(crtc);
        XRRFreeScreenResources(screen);
        XSync(x, False);
    }

    static RRMode ownMode;
    pid_t server = -1;
};

Display* PrivateDisplay::x = nullptr;
RRMode PrivateDisplay::ownMode = 0;

::testing::Environment* const display = ::testing::AddGlobalTestEnvironment(new PrivateDisplay);

const Size ownSize{1280, 1024};

}  // namespace

TEST(FullScreenModeTest, ModePartsNotAskedForKeepTheDesktopsSize) {
    ASSERT_TRUE(platform::videoAvailable());
    struct Case {
        platform::DisplayMode mode;
        const char* asked;
    } cases[] = {{{0, 0, 0, 60}, "a refresh rate alone"}, {{0, 0, 32, 0}, "a depth alone"}};
    for (const Case& k : cases) {
        ASSERT_TRUE(platform::setDisplayMode(0, k.mode, false)) << k.asked;
        platform::WindowParams p;
        p.kind = platform::WindowKind::FullScreen;
        p.width = ownSize.first;
        p.height = ownSize.second;
        platform::WindowId window = platform::createWindow(p);
        ASSERT_NE(window, 0u);
        platform::showWindow(window, true);
        EXPECT_EQ(PrivateDisplay::shown(), ownSize) << k.asked;
        platform::destroyWindow(window);
        platform::restoreDisplayModes();
        PrivateDisplay::reset();
    }
}

TEST(FullScreenModeTest, CrashAbortOrInterruptInFullScreenPutsTheModeBack) {
    struct Case {
        const char* ending;
        bool killedBySignal;
    } cases[] = {{"crash", true}, {"abort", true}, {"interrupt", false}};
    for (const Case& k : cases) {
        int in[2], out[2];
        ASSERT_EQ(pipe(in), 0);
        ASSERT_EQ(pipe(out), 0);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_adddup2(&files, in[0], 0);
        posix_spawn_file_actions_adddup2(&files, out[1], 1);
        posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclose(&files, in[1]);
        posix_spawn_file_actions_addclose(&files, out[0]);
        const char* argv[] = {KALVORA_FULL_SCREEN_CHILD, nullptr};
        pid_t child = -1;
        ASSERT_EQ(posix_spawn(&child, argv[0], &files, nullptr, const_cast<char**>(argv), environ), 0);
        posix_spawn_file_actions_destroy(&files);
        close(in[0]);
        close(out[1]);

        EXPECT_EQ(readLine(out[0], 30000), "switched") << k.ending;
        EXPECT_EQ(PrivateDisplay::shown(), Size(640, 480)) << k.ending;
        if (std::strcmp(k.ending, "interrupt") == 0) {
            kill(child, SIGINT);
        } else {
            std::string line = std::string(k.ending) + "\n";
            EXPECT_EQ(write(in[1], line.data(), line.size()), ssize_t(line.size()));
        }
        EXPECT_TRUE(PrivateDisplay::shows(ownSize, 5000)) << k.ending << ": the display stayed switched";

        close(in[1]);
        int status = 0;
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (waitpid(child, &status, WNOHANG) != child) {
            if (std::chrono::steady_clock::now() > end) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                ADD_FAILURE() << k.ending << ": the child did not end";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        close(out[0]);
        if (k.killedBySignal)
            EXPECT_TRUE(WIFSIGNALED(status)) << k.ending << ": the signal still ends the process";
        else
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << k.ending << " " << status;
        PrivateDisplay::reset();
    }
}
