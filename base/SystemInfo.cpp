#include "SystemInfo.h"

#include <string>

#include "platform/System.h"

namespace orvel {

const char* osFamilyName() { return "Linux"; }

OsVersion osVersion() { return osOther; }

const char* osVersionName() {
    static const std::string release = platform::osRelease();
    return release.c_str();
}

int processorCount() { return platform::processorCount(); }

unsigned physicalMemory() {
    std::uint64_t bytes = platform::physicalMemoryBytes();
    return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : unsigned(bytes);
}

}  // namespace orvel
