// The diagnostic log: printf-style lines to the file the start-up code hands
// over. Until then nothing is formatted or written.
#pragma once

#include <cstdio>

namespace orvel {

void setDebugFile(FILE* file);
FILE* debugFile();

// Formats and writes one text (no line end is added) and flushes it. A text
// longer than 10000 characters is not written and throws std::logic_error.
void debug(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace orvel
