// Display modes switched for real, on an X server of the test's own (Xvfb)
// that offers four modes besides its 1280 x 1024: the switches touch no other
// test's screen, and the test reads what the server shows through RandR.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

#include "platform/Display.h"
#include "platform/Windows.h"

extern char** environ;

namespace {

using Size = std::pair<int, int>;
const Size ownSize{1280, 1024};

// The first line a descriptor gives, without its end.
std::string firstLine(int fd) {
    char line[64] = "";
    FILE* in = fdopen(fd, "r");
    if (!in || !std::fgets(line, sizeof line, in))
        line[0] = 0;
    if (in)
        std::fclose(in);
    return std::string(line, std::strcspn(line, "\n"));
}

// The server, started for every process of this program; DISPLAY names it
// from then on, for the program's own windows and for the children it starts.
class PrivateDisplay : public ::testing::Environment {
public:
    void SetUp() override {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        std::string fd = std::to_string(ready[1]);
        if ((server = fork()) == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);  // it ends with the test, however the test ends
            dup2(open("/dev/null", O_WRONLY), 2);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ready[1]);
        std::string name = ":" + firstLine(ready[0]);
        setenv("DISPLAY", name.c_str(), 1);
        ASSERT_NE(x = XOpenDisplay(name.c_str()), nullptr) << "Xvfb did not start";
        // A request the server refuses fails the test, not the whole program.
        XSetErrorHandler([](Display*, XErrorEvent* e) {
            ADD_FAILURE() << "X error " << int(e->error_code) << " of request " << int(e->request_code);
            return 0;
        });
        XRRScreenResources* screen = XRRGetScreenResourcesCurrent(x, DefaultRootWindow(x));
        for (Size s : {Size(1024, 768), Size(800, 600), Size(640, 480), Size(640, 350)}) {
            std::string modeName = std::to_string(s.first) + "x" + std::to_string(s.second);
            XRRModeInfo m{};
            m.width = m.hTotal = unsigned(s.first);
            m.height = m.vTotal = unsigned(s.second);
            m.dotClock = 60ul * m.width * m.height;
            m.name = &modeName[0];
            m.nameLength = unsigned(modeName.size());
            XRRAddOutputMode(x, screen->outputs[0], XRRCreateMode(x, DefaultRootWindow(x), &m));
        }
        XRRFreeScreenResources(screen);
        XSync(x, False);
    }

    void TearDown() override {
        if (x)
            XCloseDisplay(x);
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    }

    // The size the monitor (the screen's one CRTC) shows, when the whole
    // screen has that size too; {0, 0} when the two differ.
    static Size shown() {
        XRRScreenResources* screen = XRRGetScreenResourcesCurrent(x, DefaultRootWindow(x));
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(x, screen, screen->crtcs[0]);
        Size size{int(crtc->width), int(crtc->height)};
        XRRFreeCrtcInfo(crtc);
        XRRFreeScreenResources(screen);
        Window root;
        int left, top;
        unsigned width, height, border, depth;
        XGetGeometry(x, DefaultRootWindow(x), &root, &left, &top, &width, &height, &border, &depth);
        return size == Size(int(width), int(height)) ? size : Size(0, 0);
    }

    // Waits up to twenty seconds for the screen to show a size.
    static bool shows(Size size) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (shown() != size && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return shown() == size;
    }

    // The connection stays open while the program runs: the modes live with it.
    static Display* x;

private:
    pid_t server = -1;
};

Display* PrivateDisplay::x = nullptr;
::testing::Environment* const display = ::testing::AddGlobalTestEnvironment(new PrivateDisplay);

}  // namespace

TEST(FullScreenModeTest, ModePartsNotAskedForKeepTheDesktopsSize) {
    ASSERT_TRUE(platform::videoAvailable());
    for (platform::DisplayMode asked : {platform::DisplayMode{0, 0, 0, 60}, platform::DisplayMode{0, 0, 32, 0}}) {
        ASSERT_TRUE(platform::setDisplayMode(0, asked, false));
        platform::WindowParams p;
        p.kind = platform::WindowKind::FullScreen;
        p.width = ownSize.first;
        p.height = ownSize.second;
        platform::WindowId window = platform::createWindow(p);
        ASSERT_NE(window, 0u);
        platform::showWindow(window, true);
        EXPECT_EQ(PrivateDisplay::shown(), ownSize) << asked.bitsPerPixel << " bits, " << asked.refreshRate << " Hz";
        platform::destroyWindow(window);
        platform::restoreDisplayModes();
    }
}

TEST(FullScreenModeTest, CrashAbortOrInterruptInFullScreenPutsTheModeBack) {
    for (std::string ending : {"crash", "abort", "interrupt"}) {
        int in[2], out[2];
        ASSERT_EQ(pipe(in) | pipe(out), 0);
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

        EXPECT_EQ(firstLine(out[0]), "switched") << ending;
        EXPECT_EQ(PrivateDisplay::shown(), Size(640, 480)) << ending;
        if (ending == "interrupt")
            kill(child, SIGINT);
        else
            EXPECT_EQ(write(in[1], (ending + "\n").c_str(), ending.size() + 1), ssize_t(ending.size() + 1));
        EXPECT_TRUE(PrivateDisplay::shows(ownSize)) << ending << ": the display stayed switched";
        close(in[1]);
        int status = 0;
        waitpid(child, &status, 0);
        // The signal still ends the process; after an interrupt it ends when it will.
        if (ending == "interrupt")
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        else
            EXPECT_TRUE(WIFSIGNALED(status)) << ending;
    }
}
