// The program as a person starts it: its window opens on the display, the
// log is written beside the executable, and a second copy started meanwhile
// returns at once.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "base/Clock.h"
#include "base/RegistryKey.h"
#include "launcher/VideoSettings.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kalvora-launcher-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        program = folder / "kalvora";
        fs::copy_file(KALVORA_BINARY, program);
        // The lock lives in the runtime folder: a folder of its own keeps
        // this test apart from any other copy of the program.
        setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        setenv("KALVORA_MESSAGE_BOXES", "record", 1);
        setenv("ORVEL_REGISTRY_FILE", (folder / "registry.sqlite").c_str(), 1);
    }

    void TearDown() override {
        if (first > 0) {
            kill(first, SIGKILL);
            waitpid(first, nullptr, 0);
        }
        fs::remove_all(folder);
    }

    // Starts the program; its error stream goes to the file "stderr" in the folder.
    pid_t start(std::vector<std::string> args) {
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (std::string& a : args)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        std::string errors = (folder / "stderr").string();
        posix_spawn_file_actions_addopen(&files, 2, errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, program.c_str(), &files, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&files);
        return pid;
    }

    // The exit code, or -1 when the process did not end within the time.
    static int waitExit(pid_t pid, double seconds) {
        double end = orvel::getTime() + seconds;
        int status = 0;
        while (orvel::getTime() < end) {
            if (waitpid(pid, &status, WNOHANG) == pid)
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            orvel::sleepMs(10);
        }
        return -1;
    }

    std::string read(const char* name) {
        std::ifstream in(folder / name);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string log() { return read("game.log"); }

    // Waits until the log holds the text; false when it never did.
    bool logged(const std::string& text, double seconds) {
        double end = orvel::getTime() + seconds;
        while (orvel::getTime() < end) {
            if (log().find(text) != std::string::npos)
                return true;
            orvel::sleepMs(20);
        }
        return false;
    }

    bool windowShown(pid_t pid) {
        std::string command = "xdotool search --onlyvisible --pid " + std::to_string(pid) +
                              " --name '^Kalvora$' >/dev/null 2>&1";
        return std::system(command.c_str()) == 0;
    }

    // A screenshot of the program's window, pixels top-down, three bytes
    // each; empty when none could be taken.
    struct Shot {
        int width = 0, height = 0;
        std::string rgb;
        unsigned char at(int x, int y, int c) const { return rgb[size_t(3 * (y * width + x) + c)]; }
    };
    Shot screenshot(pid_t pid) {
        const std::string file = (folder / "shot.ppm").string();
        std::string command = "import -window \"$(xdotool search --onlyvisible --pid " + std::to_string(pid) +
                              " --name '^Kalvora$' | head -n 1)\" -depth 8 'ppm:" + file + "' 2>/dev/null";
        Shot shot;
        if (std::system(command.c_str()) != 0)
            return shot;
        std::ifstream in(file, std::ios::binary);
        std::string magic;
        int top = 0;
        if (!(in >> magic >> shot.width >> shot.height >> top) || magic != "P6" || top != 255)
            return Shot();
        in.get();
        shot.rgb.resize(size_t(3 * shot.width * shot.height));
        in.read(&shot.rgb[0], std::streamsize(shot.rgb.size()));
        return in ? shot : Shot();
    }

    // On the way out the program kept its video settings.
    static void expectSettingsStored() {
        orvel::RegistryKey key(game_launcher::registryKey, false, 0);
        bool lists = false, fog = false;
        EXPECT_TRUE(key.getBool("Use display lists", lists));
        EXPECT_TRUE(key.getBool("Enable fog", fog));
        EXPECT_TRUE(lists);
        EXPECT_TRUE(fog);
    }

    fs::path folder, program;
    pid_t first = -1;
};

}  // namespace

TEST_F(LauncherTest, OpensItsWindowWritesTheLogAndRunsOnce) {
    first = start({"alpha", "two words"});
    double end = orvel::getTime() + 20;
    while (orvel::getTime() < end && !windowShown(first))
        orvel::sleepMs(50);
    ASSERT_TRUE(windowShown(first)) << "the application window is on the display";
    ASSERT_TRUE(logged("wglMakeCurrent() returned OK\n", 20)) << "its first paint bound OpenGL";
    std::string text = log();
    EXPECT_EQ(text.rfind("Kalvora version ", 0), 0u) << text;
    EXPECT_NE(text.find("\nSystem: Linux "), std::string::npos) << text;
    EXPECT_NE(text.find("Command line word: alpha\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Command line word: two words\n"), std::string::npos) << text;
    // The capability probe ran before the log was open, and its findings are in it.
    size_t info = text.find("\n\nOpenGL info\n-----------\nVendor = ");
    EXPECT_NE(info, std::string::npos) << text;
    EXPECT_LT(text.find("\nSystem: Linux "), info);
    EXPECT_NE(text.find("Hardware acceleration? Yes\n"), std::string::npos);
    EXPECT_NE(text.find("Texture units = 8\n"), std::string::npos);
    EXPECT_NE(text.find("\nGL_ARB_vertex_buffer_object\n"), std::string::npos);
    // The screen shows the default scene: the lit grey teapot, centred on black.
    Shot shot;
    double until = orvel::getTime() + 10;
    while (orvel::getTime() < until && ((shot = screenshot(first)).width == 0 || !shot.at(400, 300, 0)))
        orvel::sleepMs(50);
    ASSERT_EQ(shot.width, 800);
    ASSERT_EQ(shot.height, 600);
    int left = 800, right = 0, high = 600, low = 0, rightRow = 0;
    std::set<int> shades;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const int r = shot.at(x, y, 0), g = shot.at(x, y, 1), b = shot.at(x, y, 2);
            if (r + g + b == 0)
                continue;
            EXPECT_TRUE(r == g && g == b) << "grey at " << x << "," << y;
            shades.insert(r);
            left = std::min(left, x), high = std::min(high, y), low = std::max(low, y);
            if (x > right)
                right = x, rightRow = y;
        }
    int lid = 0, body = 0;
    for (int x = 0; x < 800; ++x)
        lid += shot.at(x, high + 3, 0) != 0, body += shot.at(x, (high + low) / 2, 0) != 0;
    EXPECT_GT(shades.size(), 20u) << "lit, with shading";
    EXPECT_NEAR((left + right) / 2.0, 400, 20) << "centred";
    EXPECT_NEAR((high + low) / 2.0, 300, 20);
    EXPECT_LT(right - left, 600) << "on black all round";
    EXPECT_LT(lid, body / 3) << "upright: the lid's knob on top";
    EXPECT_LT(rightRow, (high + low) / 2) << "the spout's tip rises on the right";

    pid_t second = start({"beta"});
    EXPECT_EQ(waitExit(second, 10), 0) << "a second copy returns at once";
    EXPECT_EQ(log(), text) << "and leaves the running copy's log alone";

    // The system asks the program to end: its window closes and the loop ends.
    kill(first, SIGTERM);
    EXPECT_EQ(waitExit(first, 10), 0);
    first = -1;
    expectSettingsStored();
}

TEST_F(LauncherTest, WindowDestroyedByAnotherProgramEndsItAsAClose) {
    first = start({});
    ASSERT_TRUE(logged("wglMakeCurrent() returned OK\n", 20));
    std::string destroy = "xdotool search --onlyvisible --pid " + std::to_string(first) +
                          " --name '^Kalvora$' windowclose";
    ASSERT_EQ(std::system(destroy.c_str()), 0);
    EXPECT_EQ(waitExit(first, 10), 0) << read("stderr");
    first = -1;
    expectSettingsStored();
}

TEST_F(LauncherTest, RefusesADriverWithOneTextureUnit) {
    // Mesa offers only the extensions of 1997: no multitexturing.
    setenv("MESA_EXTENSION_MAX_YEAR", "1997", 1);
    pid_t pid = start({});
    unsetenv("MESA_EXTENSION_MAX_YEAR");
    EXPECT_EQ(waitExit(pid, 20), 1);
    EXPECT_NE(read("stderr").find("Fatal graphics card error (not enough texture units)."), std::string::npos)
        << read("stderr");
    EXPECT_FALSE(fs::exists(folder / "game.log")) << "the check comes before the log";
    EXPECT_FALSE(windowShown(pid));
}

TEST_F(LauncherTest, WithoutADisplaySaysWhichDisplayCannotBeOpened) {
    std::string shared = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    // A display number no server listens on.
    int unused = 4242;
    while (fs::exists("/tmp/.X11-unix/X" + std::to_string(unused)))
        ++unused;
    std::string missing = ":" + std::to_string(unused);
    struct Case {
        const char* display;
        std::string said;
    } cases[] = {{nullptr, "Cannot open a display: DISPLAY is not set."},
                 {missing.c_str(), "Cannot open the display \"" + missing + "\"."}};
    for (const Case& k : cases) {
        fs::remove(folder / "stderr");
        if (k.display)
            setenv("DISPLAY", k.display, 1);
        else
            unsetenv("DISPLAY");
        pid_t pid = start({});
        setenv("DISPLAY", shared.c_str(), 1);
        EXPECT_EQ(waitExit(pid, 20), 1);
        std::string errors = read("stderr");
        EXPECT_NE(errors.find(k.said), std::string::npos) << errors;
        EXPECT_EQ(errors.find("accelerator"), std::string::npos) << errors;
    }
}
