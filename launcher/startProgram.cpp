#include "startProgram.h"

#include <cstdio>

#include "base/Debug.h"
#include "base/Mutex.h"
#include "platform/System.h"

namespace {

const char* const programVersion = "0.1";

// The folder of the executable, with its separator.
std::string programFolder() {
    std::string path = platform::executablePath();
    return path.substr(0, path.find_last_of('/') + 1);
}

}  // namespace

int startProgram(const std::vector<orvel_string>& words) {
    orvel::Mutex single("VornLock1", true);
    if (!single.tryLock())
        return 0;

    std::string logName = programFolder() + "game.log";
    FILE* log = std::fopen(logName.c_str(), "w");
    orvel::setDebugFile(log);
    orvel::debug("Kalvora version %s\n", programVersion);
    for (const orvel_string& w : words)
        orvel::debug("Command line word: %s\n", w.c_str());

    orvel::setDebugFile(nullptr);
    if (log)
        std::fclose(log);
    single.unlock();
    return 0;
}
