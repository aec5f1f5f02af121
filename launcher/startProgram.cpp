#include "startProgram.h"

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
#include "platform/FileSystem.h"
#include "platform/Windows.h"
#include "scene/MemoryOption.h"

namespace {

const char* const programVersion = "0.1";

}  // namespace

int startProgram(const std::vector<orvel_string>& words) {
    orvel::Mutex single("VornLock1", true);
    if (!single.tryLock())
        return 0;

    // Before anything else: without a display there is no driver to judge,
    // and a driver the program cannot draw with ends it here.
    std::string display = platform::videoProblem();
    if (!display.empty()) {
        pellium::errorBox(display.c_str(), nullptr);
        single.unlock();
        return 1;
    }
    const pellium::GLcaps& caps = pellium::getGLSniffer();
    if (const char* problem = game_launcher::graphicsCardProblem(caps)) {
        pellium::errorBox(problem, nullptr);
        single.unlock();
        return 1;
    }

    orvel::FilePath logName(orvel::programFolder() + "game.log");
    FILE* log = platform::openFile(logName.c_str(), "w");
    orvel::setDebugFile(log);
    orvel::debug("Kalvora version %s\n", programVersion);
    orvel::debug("System: %s %s, %d processors, %u bytes of memory\n", orvel::osFamilyName(), orvel::osVersionName(),
                 orvel::processorCount(), orvel::physicalMemory());
    caps.logInfo();
    for (const orvel_string& w : words)
        orvel::debug("Command line word: %s\n", w.c_str());
    game_launcher::readVideoSettings();
    kessa::enablePolygonArena();
    modrane::setUpModelReading();

    int code = 0;
    try {
        game_launcher::ViewWindow window;
        for (const orvel_string& w : words)
            if (w == "--sky")
                window.setSky(game_launcher::ViewWindow::defaultSky());
        window.run();
        game_launcher::writeVideoSettings();
    } catch (const std::exception& e) {
        orvel::debug("---%.500s\n", e.what());
        char text[64];
        std::snprintf(text, sizeof text, "Kalvora: Error - code %d", int(pellium::errorStageCode));
        pellium::errorBox(text, nullptr);
        code = 1;
    }

    orvel::setDebugFile(nullptr);
    if (log)
        std::fclose(log);
    single.unlock();
    return code;
}
