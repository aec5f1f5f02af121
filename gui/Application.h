// The process entry of every toolkit program, its main loop, and the message
// boxes through which the program reports errors to the user.
#pragma once

#include <vector>

#include "base/orvel_string.h"

namespace pellium {

class Idler;

// The program's main function: the command-line words in, the exit code out.
using ProgramMain = int (*)(const std::vector<orvel_string>& words);

// Splits the command line (without the program name), settles the country
// code and returns what programMain returns.
int WinMain(const char* commandLine, ProgramMain programMain);

// Blanks (' ' only) separate words; a word that begins with '"' runs to the
// next '"' or the end, without the quotes; quotes inside other words stay.
std::vector<orvel_string> splitCommandLine(const char* commandLine);

// The user's country: the locale's abbreviation cut to two letters unless it
// is "USA", upper-cased; "US" when the locale names no country.
const char* countryCode();
// The same rule over a given abbreviation (null or empty: none); writes at
// most 16 bytes, the terminator included.
void makeCountryCode(const char* abbreviation, char code[16]);

// Runs the loop until no window is open; a null idler means one that does nothing.
void runEventLoop(Idler* idler);
// Handles every waiting event; returns when the loop would go idle or no window is left.
void processPendingEvents();

// Modal error boxes; a null title is "Error:". They return the box's answer.
int errorBox(const char* text, const char* title);
int userError(const char* text);
int fatalError(const char* text);

// Opens a document, a file or a web address with the desktop's opener,
// found as the shell's execute function; nothing happens without one.
void shellOpen(const char* target);

// The idle action of application windows: one millisecond of sleep.
void idleSleep();

}  // namespace pellium
