// What the start-up log tells about the machine.
#pragma once

namespace orvel {

// The Windows releases the program knows, and everything else.
enum OsVersion {
    osWindows95 = 0,
    osWindows98 = 1,
    osWindowsMe = 2,
    osWindowsNt4 = 3,
    osWindows2000 = 4,
    osWindowsXp = 5,
    osWindowsServer2003 = 6,
    osOther = 1000,
};

// "Linux".
const char* osFamilyName();
// osOther: this is no Windows release.
OsVersion osVersion();
// The kernel's release, as uname gives it ("" when unknown).
const char* osVersionName();
int processorCount();
// Total physical memory in bytes; 0xFFFFFFFF when there is more.
unsigned physicalMemory();

}  // namespace orvel
