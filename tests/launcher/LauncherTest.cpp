// The program as a person starts it, in a folder of its own: its window
// opens on the display, the log is written beside the executable (a word
// too long for a log line cut short; beside a twin of the folder in another
// case), a second copy returns at once, and the video settings are kept;
// start-up's verdict on a driver, a display or stored settings; and its
// error box when a step of start-up throws or a driver crashes in its step.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>

#include "base/Clock.h"
#include "base/RegistryKey.h"
#include "gui/gl/VideoSwitches.h"
#include "launcher/GraphicsCheck.h"
#include "launcher/startProgram.h"
#include "launcher/VideoSettings.h"
#include "scene/LodBranch.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ErrorBox.h"
#include "tests/support/TempFolder.h"

namespace {

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy_file(KALVORA_BINARY, program);
        // The lock lives in the runtime folder: a folder of its own keeps
        // this test apart from any other copy of the program.
        setenv("XDG_RUNTIME_DIR", folder.path().c_str(), 1);
        setenv("KALVORA_MESSAGE_BOXES", "record", 1);
        setenv("ORVEL_REGISTRY_FILE", (folder / "registry.sqlite").c_str(), 1);
    }
    void TearDown() override {
        support::endNow(first);
        pellium::fullGLacceleration = pellium::fogEnabled = true;
    }

    // Starts the program; its error stream goes to the file "stderr".
    pid_t start(const std::vector<std::string>& args = {}) {
        pid_t pid = support::spawnProgram(program, args, folder / "stderr");
        EXPECT_GT(pid, 0);
        return pid;
    }

    std::string read(const char* name) {
        std::ifstream in(folder / name);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // Runs command until it succeeds, for up to a minute.
    static bool eventually(const std::string& command) {
        for (double end = orvel::getTime() + 60; orvel::getTime() < end; orvel::sleepMs(50))
            if (std::system(command.c_str()) == 0)
                return true;
        return false;
    }
    std::string window(pid_t pid) {
        return "xdotool search --onlyvisible --pid " + std::to_string(pid) + " --name '^Kalvora$'";
    }

    // On the way out the program kept its video settings.
    static void expectSettingsStored() {
        orvel::RegistryKey key(game_launcher::registryKey, false, 0);
        bool lists = false, fog = false;
        EXPECT_TRUE(key.getBool("Use display lists", lists) && lists);
        EXPECT_TRUE(key.getBool("Enable fog", fog) && fog);
    }

    TempFolder folder;
    std::string program = folder / "kalvora";
    pid_t first = -1;
};

}  // namespace

TEST_F(LauncherTest, OpensItsWindowWritesTheLogAndRunsOnce) {
    first = start({"alpha", "two words"});
    ASSERT_TRUE(eventually(window(first) + " >/dev/null 2>&1")) << "the window is on the display";
    ASSERT_TRUE(eventually("grep -q 'wglMakeCurrent() returned OK' '" + (folder / "game.log") + "'")) << "its first paint bound OpenGL";
    // The screen shows the default scene: the lit grey teapot, centred on
    // black, upright, its spout rising on the right.
    const std::string shot = folder / "shot.ppm";
    const std::string take = "import -window \"$(" + window(first) + " | head -n 1)\" -depth 8 'ppm:" + shot + "' 2>/dev/null";
    std::string rgb;
    for (double end = orvel::getTime() + 60; orvel::getTime() < end && (rgb.empty() || !rgb[3 * (300 * 800 + 400)]);
         orvel::sleepMs(50)) {
        if (std::system(take.c_str()) != 0)
            continue;
        std::ifstream in(shot, std::ios::binary);
        std::string magic;
        int width = 0, height = 0, top = 0;
        const bool whole = in >> magic >> width >> height >> top && magic == "P6" && width == 800 && height == 600;
        rgb.assign(whole ? 800 * 600 * 3 : 0, 0);
        in.get();
        in.read(rgb.data(), std::streamsize(rgb.size()));
    }
    ASSERT_EQ(rgb.size(), 800u * 600 * 3) << "an 800 x 600 window";
    auto at = [&](int x, int y) { return (unsigned char)rgb[size_t(3 * (y * 800 + x))]; };
    int left = 800, right = 0, high = 600, low = 0, rightRow = 0, lid = 0, body = 0;
    std::set<int> shades;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const char* p = &rgb[size_t(3 * (y * 800 + x))];
            if (p[0] == 0 && p[1] == 0 && p[2] == 0)
                continue;
            EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]) << "grey at " << x << "," << y;
            shades.insert(at(x, y));
            left = std::min(left, x), high = std::min(high, y), low = std::max(low, y);
            if (x > right)
                right = x, rightRow = y;
        }
    for (int x = 0; x < 800; ++x)
        lid += at(x, high + 3) != 0, body += at(x, (high + low) / 2) != 0;
    EXPECT_GT(shades.size(), 20u) << "lit, with shading";
    EXPECT_NEAR((left + right) / 2.0, 400, 20) << "centred";
    EXPECT_NEAR((high + low) / 2.0, 300, 20);
    EXPECT_LT(right - left, 600) << "on black all round";
    EXPECT_LT(lid, body / 3) << "upright: the lid's knob on top";
    EXPECT_LT(rightRow, (high + low) / 2) << "the spout's tip rises on the right";
    const std::string log = read("game.log");
    EXPECT_EQ(log.rfind("Kalvora version ", 0), 0u) << log;
    // The capability probe ran before the log was open, and its findings are in it.
    for (const char* line : {"\nSystem: Linux ", "Command line word: alpha\n", "Command line word: two words\n",
                             "\n\nOpenGL info\n-----------\nVendor = ", "Hardware acceleration? Yes\n", "Texture units = 8\n",
                             "\nGL_ARB_vertex_buffer_object\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_LT(log.find("\nSystem: Linux "), log.find("\n\nOpenGL info"));

    EXPECT_EQ(support::waitExit(start({"beta"}), 60), 0) << "a second copy returns at once";
    EXPECT_EQ(read("game.log"), log) << "and leaves the running copy's log alone";
    // The system asks the program to end: its window closes and the loop ends.
    kill(first, SIGTERM);
    EXPECT_EQ(support::waitExit(std::exchange(first, -1), 60), 0);
    expectSettingsStored();
}

TEST_F(LauncherTest, WindowDestroyedByAnotherProgramEndsItAsAClose) {
    first = start();
    ASSERT_TRUE(eventually("grep -q 'wglMakeCurrent() returned OK' '" + (folder / "game.log") + "'"));
    ASSERT_EQ(std::system((window(first) + " windowclose").c_str()), 0);
    EXPECT_EQ(support::waitExit(std::exchange(first, -1), 60), 0) << read("stderr");
    expectSettingsStored();
}

// Another program kills the program's connection to the display: it ends
// with code 1 and says why in its log, rather than wait on the lost
// connection for ever.
TEST_F(LauncherTest, ALostDisplayConnectionEndsItWithALogLine) {
    first = start();
    ASSERT_TRUE(eventually("grep -q 'wglMakeCurrent() returned OK' '" + (folder / "game.log") + "'"));
    ASSERT_EQ(std::system((window(first) + " windowkill").c_str()), 0);
    const int code = support::waitExit(first, 60);  // only a guard against a hang
    if (code >= 0)
        first = -1;
    EXPECT_EQ(code, 1) << read("stderr");
    EXPECT_NE(read("game.log").find("\n---Connection to the display lost; the program ends\n"), std::string::npos)
        << read("game.log");
}

// A word longer than one log line can hold is logged cut short, and the
// program runs on.
TEST_F(LauncherTest, AWordLongerThanALogLineIsLoggedCutShort) {
    first = start({std::string(10050, 'x')});
    ASSERT_TRUE(eventually(window(first) + " >/dev/null 2>&1")) << read("stderr");
    const std::string log = read("game.log"), word = "Command line word: ";
    const size_t at = log.find(word), end = log.find('\n', at);
    ASSERT_NE(at, std::string::npos) << log;
    const std::string logged = log.substr(at + word.size(), end - at - word.size());
    EXPECT_EQ(logged, std::string(logged.size(), 'x'));
    EXPECT_GT(logged.size(), 9000u);
    EXPECT_LT(logged.size(), 10000u);
    kill(first, SIGTERM);
    EXPECT_EQ(support::waitExit(std::exchange(first, -1), 60), 0);
}

// The program's folder has a twin whose name differs only in case: what
// goes beside the program goes into the folder it is really in.
TEST_F(LauncherTest, KeepsItsLogInItsOwnFolderBesideATwinInAnotherCase) {
    std::filesystem::create_directories(folder / "twin/Prog");
    std::filesystem::create_directories(folder / "twin/prog");
    const std::string twinned = folder / "twin/Prog/kalvora";
    std::filesystem::create_hard_link(program, twinned);
    first = support::spawnProgram(twinned, {}, folder / "stderr");
    ASSERT_GT(first, 0);
    ASSERT_TRUE(eventually("grep -q 'wglMakeCurrent() returned OK' '" + (folder / "twin/Prog/game.log") + "'"))
        << read("stderr");
    EXPECT_FALSE(std::filesystem::exists(folder / "twin/prog/game.log"));
    kill(first, SIGTERM);
    EXPECT_EQ(support::waitExit(std::exchange(first, -1), 60), 0);
}

// Mesa limited to the extensions of 1997 has no multitexturing; without a
// display the program says which it could not open. Either way it stops
// before the log and the window.
TEST_F(LauncherTest, RefusesADriverWithOneTextureUnitOrNoDisplay) {
    int unused = 4242;  // a display number no server listens on
    while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(unused)))
        ++unused;
    const char* shared = std::getenv("DISPLAY");
    const std::string display = shared ? shared : "", missing = ":" + std::to_string(unused);
    const struct {
        const char* variable;
        std::string value, said;
    } rows[] = {{"MESA_EXTENSION_MAX_YEAR", "1997", "Fatal graphics card error (not enough texture units)."},
                {"DISPLAY", missing, "Cannot open the display \"" + missing + "\"."},
                {"DISPLAY", "", "Cannot open a display: DISPLAY is not set."}};
    for (const auto& row : rows) {
        std::filesystem::remove(folder / "stderr");
        row.value.empty() ? unsetenv(row.variable) : setenv(row.variable, row.value.c_str(), 1);
        pid_t pid = start();
        setenv("DISPLAY", display.c_str(), 1);
        unsetenv("MESA_EXTENSION_MAX_YEAR");
        EXPECT_EQ(support::waitExit(pid, 60), 1);
        const std::string said = read("stderr");
        EXPECT_NE(said.find(row.said), std::string::npos) << said;
        EXPECT_EQ(said.find("accelerator"), std::string::npos) << said;
        EXPECT_FALSE(std::filesystem::exists(folder / "game.log"));
        EXPECT_NE(std::system((window(pid) + " >/dev/null 2>&1").c_str()), 0);
    }
}

// An accelerated driver needs two texture units; without acceleration
// nothing else counts, and no display at all leaves the probe's record empty.
TEST(GraphicsCheck, AcceleratedWithTwoTextureUnits) {
    const char* const noAccelerator =
        "No 3D graphics accelerator found. You probably need to update your graphics card driver...";
    const char* const tooFewUnits = "Fatal graphics card error (not enough texture units).";
    const struct {
        bool accelerated;
        int units;
        const char* problem;
    } rows[] = {{true, 2, nullptr},     {true, 8, nullptr},        {true, 1, tooFewUnits},
                {true, 0, tooFewUnits}, {false, 8, noAccelerator}, {false, 1, noAccelerator}};
    for (const auto& row : rows) {
        pellium::GLcaps caps;
        caps.valid = true;
        caps.accelerated = row.accelerated;
        caps.textureUnits = row.units;
        EXPECT_STREQ(game_launcher::graphicsCardProblem(caps), row.problem) << row.accelerated << " " << row.units;
    }
    EXPECT_STREQ(game_launcher::graphicsCardProblem(pellium::GLcaps()), noAccelerator);
}

// Without stored values both switches are on, and fading too; stored ones
// are taken (any number but 0 is on, another type keeps the default) and
// written back as numbers.
TEST_F(LauncherTest, VideoSettingsAreReadAndWrittenBack) {
    pellium::fullGLacceleration = pellium::fogEnabled = false;
    kessa::LodBranch::setFading(false);
    game_launcher::readVideoSettings();
    EXPECT_TRUE(pellium::fullGLacceleration && pellium::fogEnabled && kessa::LodBranch::fading());
    {
        orvel::RegistryKey key(game_launcher::registryKey, true, 0);
        ASSERT_TRUE(key.setBool("Use display lists", false) && key.setInt("Enable fog", 7));
    }
    pellium::fogEnabled = false;
    game_launcher::readVideoSettings();
    EXPECT_FALSE(pellium::fullGLacceleration);
    EXPECT_TRUE(pellium::fogEnabled);
    pellium::fullGLacceleration = true;
    pellium::fogEnabled = false;
    game_launcher::writeVideoSettings();
    orvel::RegistryKey key(game_launcher::registryKey, true, 0);
    int lists = -1, fog = -1;
    EXPECT_TRUE(key.getInt("Use display lists", lists) && key.getInt("Enable fog", fog));
    EXPECT_EQ(std::vector<int>({lists, fog}), std::vector<int>({1, 0}));
    ASSERT_TRUE(key.setString("Use display lists", "no"));
    pellium::fullGLacceleration = false;
    game_launcher::readVideoSettings();
    EXPECT_TRUE(pellium::fullGLacceleration);
}

// A crash is blamed on the graphics driver in the steps of its calls, the
// 30000s (the capability probe's 30201, the batches' 30301 to 30305, the
// vertex arrays' 30401 to 30404), and on no driver in any other step.
TEST(GraphicsCheck, CrashesInTheDriversStepsAreBlamedOnIt) {
    const char* const graphics = " (graphics driver crashed)";
    const struct {
        std::uint32_t code;
        const char* blamed;
    } rows[] = {{0, nullptr},       {1000, nullptr},  {29999, nullptr}, {30000, graphics},    {30201, graphics},
                {30305, graphics},  {30404, graphics}, {30999, graphics}, {31000, nullptr}, {4294967295u, nullptr}};
    for (const auto& row : rows)
        EXPECT_STREQ(game_launcher::driverCrashed(row.code), row.blamed) << row.code;
}

namespace {

// The program made to fail at one step, in a folder of its own.
class FailingStepFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy_file(KALVORA_FAILING_STEP_CHILD, program);
        setenv("XDG_RUNTIME_DIR", folder.path().c_str(), 1);
        setenv("ORVEL_REGISTRY_FILE", (folder / "registry.sqlite").c_str(), 1);
        unsetenv("KALVORA_MESSAGE_BOXES");
    }

    std::string read(const char* name) {
        std::ifstream in(folder / name);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    TempFolder folder;
    std::string program = folder / "failing";
};

class FailingStep : public FailingStepFolder, public ::testing::WithParamInterface<int> {};

std::string stepName(const ::testing::TestParamInfo<int>& info) {
    const char* const names[] = {"Checks", "Log", "Words", "Settings", "Window", "Loop"};
    return names[info.param];
}

}  // namespace

// Each kind of throw at each step of start-up (a standard exception, a
// message text as the scene library throws, anything else), and a crash in
// a step of the graphics driver (a fault, a stack overflowed, an abort): the
// error box comes up on the display with the progress word as its code,
// after a crash with the driver to blame, its button answers it, and the
// program ends with exit code 1. Once the log is open, the error is its last
// line.
TEST_P(FailingStep, ShowsTheBoxWithTheProgressWordAndFails) {
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xdotool is not installed";
    const int step = GetParam();
    const std::string code = std::to_string(1000 * (step + 1)), crashed = " (graphics driver crashed)";
    const struct {
        const char* kind;
        const char* word;
        std::string said, logged;
    } rows[] = {{"exception", "", code, "---a library failed\n"},
                {"text", "", code, "---the scene's own text\n"},
                {"other", "", code, "---unknown exception\n"},
                {"fault", "30201", "30201" + crashed, "---Fatal signal 11 at step 30201" + crashed + "\n"},
                {"overflow", "30404", "30404" + crashed, "---Fatal signal 11 at step 30404" + crashed + "\n"},
                {"abort", "30305", "30305" + crashed, "---Fatal signal 6 at step 30305" + crashed + "\n"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.kind);
        std::filesystem::remove(folder / "stderr");
        std::filesystem::remove(folder / "game.log");
        std::vector<std::string> words = {std::to_string(step), row.kind};
        if (*row.word)
            words.push_back(row.word);
        const pid_t pid = support::spawnProgram(program, words, folder / "stderr");
        ASSERT_GT(pid, 0);
        EXPECT_EQ(support::pressButtonOfBox("Error:", pid), "window message button waited ended with code 1") << read("stderr");
        EXPECT_NE(read("stderr").find("Error: Kalvora: Error - code " + row.said + "\n"), std::string::npos) << read("stderr");
        const std::string log = read("game.log");
        if (step <= int(StartStep::log)) {
            EXPECT_EQ(log, "");
        } else {
            EXPECT_EQ(log.substr(log.rfind('\n', log.size() - 2) + 1), row.logged) << log;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(StartUp, FailingStep, ::testing::Range(0, int(StartStep::loop) + 1), stepName);

// A fault in a step of no driver's is left to the handler it had before,
// the sanitizer's report or the system's default: no box, no line, and the
// signal ends the program.
TEST_F(FailingStepFolder, AFaultInAStepOfNoDriversIsLeftToTheHandlerBefore) {
    const pid_t pid = support::spawnProgram(program, {std::to_string(int(StartStep::words)), "fault"}, folder / "stderr");
    ASSERT_GT(pid, 0);
    const std::string seen = support::pressButtonOfBox("Error:", pid), said = read("stderr");
#ifdef __SANITIZE_ADDRESS__
    EXPECT_EQ(seen.rfind("no window ended with code ", 0), 0u) << seen;
    EXPECT_NE(said.find("AddressSanitizer: SEGV"), std::string::npos) << said;
#else
    EXPECT_EQ(seen, "no window ended with code " + std::to_string(128 + SIGSEGV)) << said;
#endif
    EXPECT_EQ(said.find("Kalvora: Error"), std::string::npos) << said;
    const std::string log = read("game.log");
    EXPECT_EQ(log.rfind("Kalvora version ", 0), 0u) << "the log was open";
    EXPECT_EQ(log.find("Fatal signal"), std::string::npos) << log;
}
