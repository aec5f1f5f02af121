#include "startProgram.h"

#include <cstdio>

#include "base/Debug.h"
#include "base/FilePath.h"
#include "base/Mutex.h"
#include "platform/FileSystem.h"

namespace {

const char* const programVersion = "0.1";

}  // namespace

int startProgram(const std::vector<orvel_string>& words) {
    orvel::Mutex single("VornLock1", true);
    if (!single.tryLock())
        return 0;

    orvel::FilePath logName(orvel::programFolder() + "game.log");
    FILE* log = platform::openFile(logName.c_str(), "w");
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
