#include "HexDump.h"

#include <cstdio>

#include "base/Debug.h"

namespace orvel {

void hexDump(const void* data, int size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    // 9 for the offset, 48 for the bytes, 16 characters and the line end.
    char line[80];
    for (int offset = 0; offset < size; offset += 16) {
        int n = size - offset < 16 ? size - offset : 16;
        char* p = line + std::snprintf(line, sizeof line, "%07X  ", unsigned(offset));
        for (int i = 0; i < 16; ++i)
            p += i < n ? std::snprintf(p, 4, "%02X ", bytes[offset + i]) : std::snprintf(p, 4, "   ");
        for (int i = 0; i < n; ++i) {
            signed char c = static_cast<signed char>(bytes[offset + i]);
            *p++ = c < 32 || c == 127 ? '.' : char(c);
        }
        *p++ = '\n';
        *p = 0;
        // Through "%s": a '%' among the bytes is text, not a directive.
        debug("%s", line);
    }
}

}  // namespace orvel
