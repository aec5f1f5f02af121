// Programs a test starts and always ends: exits waited for within a time,
// and a process that outstays the test killed.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace support {

// Starts program with the words given; its error stream is appended to the
// file errors. -1 when it could not be started.
pid_t spawnProgram(const std::string& program, const std::vector<std::string>& words, const std::string& errors);
// The exit code (128 + the signal for one a signal ended), or -1 when the
// process did not end within the time. Looks at least once.
int waitExit(pid_t pid, double seconds);
// Kills the process unless it has ended, and reaps it.
void endNow(pid_t pid);
// What a shell command writes to its standard output; empty when it could
// not be started.
std::string commandOutput(const std::string& command);

}  // namespace support
