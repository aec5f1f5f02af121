// The program's main function: everything from the single-instance lock to
// the end of the main loop runs inside it.
#pragma once

#include <vector>

#include "base/orvel_string.h"

// Takes the command-line words (without the program name) and returns the
// process exit code.
int startProgram(const std::vector<orvel_string>& words);
