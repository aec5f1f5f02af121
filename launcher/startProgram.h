// The program's main function: everything from the single-instance lock to
// the end of the main loop runs inside it.
#pragma once

#include <vector>

#include "base/orvel_string.h"

// Takes the command-line words (without the program name) and returns the
// process exit code. Whatever a step throws ends it with the error box,
// whose code is the progress word, and exit code 1; so does a crash in a
// driver's step, with the driver named in the box.
int startProgram(const std::vector<orvel_string>& words);

// The steps of start-up, in the order they run.
enum class StartStep { checks, log, words, settings, window, loop };

// A function called as each step begins; none by default. The tests make a
// step fail through it to see how start-up answers.
void setStartStepHook(void (*hook)(StartStep step));
