#include "startProgram.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>

#include "base/Debug.h"
#include "base/FilePath.h"
#include "base/Mutex.h"
#include "base/SystemInfo.h"
#include "gui/Application.h"
#include "gui/ErrorStage.h"
#include "gui/gl/GLcaps.h"
#include "launcher/GraphicsCheck.h"
#include "launcher/VideoSettings.h"
#include "launcher/ViewWindow.h"
#include "media/ModelReading.h"
#include "scene/render/Sky.h"
#include "platform/CrashWatch.h"
#include "platform/FileSystem.h"
#include "platform/Windows.h"
#include "scene/MemoryOption.h"

namespace {

const char* const programVersion = "0.1";

// A word may be as long as the system lets a command line be; the log takes
// it cut to what one line can hold.
constexpr int loggedWordLength = orvel::debugTextLimit - 100;

void (*stepHook)(StartStep) = nullptr;

void begin(StartStep step) {
    if (stepHook)
        stepHook(step);
}

// The single-instance lock, held from the start and given back however
// start-up ends.
class SingleInstance {
public:
    SingleInstance() : lock_("VornLock1", true), held_(lock_.tryLock()) {}
    ~SingleInstance() {
        if (held_)
            lock_.unlock();
    }
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    bool held() const { return held_; }

private:
    orvel::Mutex lock_;
    bool held_;
};

// "game.log" in the program folder: the debug log's file from open() on,
// closed however start-up ends.
class LogFile {
public:
    LogFile() = default;
    ~LogFile() {
        if (!file_)
            return;
        platform::setCrashLog(nullptr);
        orvel::setDebugFile(nullptr);
        std::fclose(file_);
    }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    void open() {
        orvel::FilePath name(orvel::programFolder() + "game.log");
        file_ = platform::openFile(name.c_str(), "w");
        orvel::setDebugFile(file_);
        platform::setCrashLog(file_);
    }

private:
    FILE* file_ = nullptr;
};

// Every step after the lock. A driver or display the program cannot use is
// reported here; anything worse throws.
int run(const std::vector<orvel_string>& words, LogFile& log) {
    // Before anything else: without a display there is no driver to judge,
    // and a driver the program cannot draw with ends it here.
    begin(StartStep::checks);
    std::string display = platform::videoProblem();
    if (!display.empty()) {
        pellium::errorBox(display.c_str(), nullptr);
        return 1;
    }
    const pellium::GLcaps& caps = pellium::getGLSniffer();
    if (const char* problem = game_launcher::graphicsCardProblem(caps)) {
        pellium::errorBox(problem, nullptr);
        return 1;
    }

    begin(StartStep::log);
    log.open();
    orvel::debug("Kalvora version %s\n", programVersion);
    orvel::debug("System: %s %s, %d processors, %u bytes of memory\n", orvel::osFamilyName(), orvel::osVersionName(),
                 orvel::processorCount(), orvel::physicalMemory());
    caps.logInfo();

    begin(StartStep::words);
    bool sky = false;
    for (const orvel_string& w : words) {
        orvel::debug("Command line word: %.*s\n", loggedWordLength, w.c_str());
        sky = sky || w == "--sky";
    }

    begin(StartStep::settings);
    game_launcher::readVideoSettings();
    kessa::enablePolygonArena();
    modrane::setUpModelReading();

    begin(StartStep::window);
    game_launcher::ViewWindow window;
    if (sky)
        window.setSky(game_launcher::ViewWindow::defaultSky());

    begin(StartStep::loop);
    window.run();
    game_launcher::writeVideoSettings();
    return 0;
}

// The top-level handler's box: the progress word as its code, and the
// driver to blame after it when one crashed.
void showErrorBox(std::uint32_t code, const char* crashed) {
    char text[96];
    std::snprintf(text, sizeof text, "Kalvora: Error - code %d%s", int(code), crashed ? crashed : "");
    pellium::errorBox(text, nullptr);
}

void showCrashBox(std::uint32_t code) { showErrorBox(code, game_launcher::driverCrashed(code)); }

// What the top-level handler does with an error: a log line, and the box.
int failed(const char* what) {
    orvel::debug("---%.500s\n", what ? what : "");
    showErrorBox(pellium::errorStageCode, nullptr);
    return 1;
}

}  // namespace

void setStartStepHook(void (*hook)(StartStep)) { stepHook = hook; }

int startProgram(const std::vector<orvel_string>& words) {
    // First of all, while the process has one thread: the capability check
    // already calls into the driver.
    platform::watchCrashes(pellium::errorStageCode, game_launcher::driverCrashed, showCrashBox);
    SingleInstance single;
    if (!single.held())
        return 0;
    LogFile log;
    try {
        return run(words, log);
    } catch (const std::exception& e) {
        return failed(e.what());
    } catch (const char* text) {
        // The scene library throws its message texts themselves.
        return failed(text);
    } catch (...) {
        return failed("unknown exception");
    }
}
