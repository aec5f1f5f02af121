// The program as a person starts it: its window opens on the display, the
// log is written beside the executable, and a second copy started meanwhile
// returns at once.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

    pid_t start(std::vector<std::string> args) {
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (std::string& a : args)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);
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

    std::string log() {
        std::ifstream in(folder / "game.log");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    bool windowShown(pid_t pid) {
        std::string command = "xdotool search --onlyvisible --pid " + std::to_string(pid) +
                              " --name '^Kalvora$' >/dev/null 2>&1";
        return std::system(command.c_str()) == 0;
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
    std::string text = log();
    EXPECT_EQ(text.rfind("Kalvora version ", 0), 0u) << text;
    EXPECT_NE(text.find("\nSystem: Linux "), std::string::npos) << text;
    EXPECT_NE(text.find("Command line word: alpha\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Command line word: two words\n"), std::string::npos) << text;

    pid_t second = start({"beta"});
    EXPECT_EQ(waitExit(second, 10), 0) << "a second copy returns at once";
    EXPECT_EQ(log(), text) << "and leaves the running copy's log alone";

    // The system asks the program to end: its window closes and the loop ends.
    kill(first, SIGTERM);
    EXPECT_EQ(waitExit(first, 10), 0);
    first = -1;
    // And on the way out it kept its video settings.
    orvel::RegistryKey key(game_launcher::registryKey, false, 0);
    bool lists = false, fog = false;
    EXPECT_TRUE(key.getBool("Use display lists", lists));
    EXPECT_TRUE(key.getBool("Enable fog", fog));
    EXPECT_TRUE(lists);
    EXPECT_TRUE(fog);
}
