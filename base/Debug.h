// The diagnostic log: printf-style lines to the file the start-up code hands
// over. Until then nothing is formatted or written.
#pragma once

#include <cstdio>

namespace orvel {

// Sets (or, with null, clears) the log file. A line being written by another
// thread is finished first, so the old file may be closed after the call.
void setDebugFile(FILE* file);
FILE* debugFile();

// The longest text one call writes.
constexpr int debugTextLimit = 10000;

// Formats and writes one text (no line end is added) and flushes it. A text
// longer than debugTextLimit characters is not written and throws
// std::logic_error.
void debug(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace orvel
