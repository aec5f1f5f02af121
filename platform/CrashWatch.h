// A crash in a driver's step (a fault or an abort while the program's
// progress word names a step the program blames on a driver) ends the
// process with a line in the log and a box that tells the user, not with a
// bare signal. A box cannot be drawn from a signal handler, nor by a process
// whose memory may be what broke; so a watcher shows it: a copy of the
// process, forked while it was sound and had one thread, that waits for the
// word of a crash and ends when the process does.
#pragma once

#include <cstdint>
#include <cstdio>

namespace platform {

// What a crash at the progress word is blamed on: the words the box adds
// (" (graphics driver crashed)"), or null when the step is no driver's and
// the signal goes on to the handler it had before. Called from the signal
// handler: it may only look at the word.
using CrashBlame = const char* (*)(std::uint32_t word);
// Shows the box of a crash at the word; called in the watcher.
using CrashBox = void (*)(std::uint32_t word);

// Forks the watcher and from now on watches the faults (SIGSEGV, SIGBUS,
// SIGILL, SIGFPE, an overflowed stack among them) and aborts (SIGABRT).
// Call it once, before any other thread starts. A signal that blame takes
// on writes "---Fatal signal <n> at step <word><words>\n" to the crash log,
// has the watcher show its box, waits until the box is answered and ends the
// process with exit code 1.
void watchCrashes(const std::uint32_t& word, CrashBlame blame, CrashBox box);
// The file the line of a crash goes to; null for none.
void setCrashLog(std::FILE* file);

}  // namespace platform
