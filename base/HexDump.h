// Bytes as hexadecimal lines in the debug log.
#pragma once

namespace orvel {

// One line per 16 bytes: the offset ("%07X  "), each byte ("%02X "), three
// blanks per byte missing from a short last line, then the bytes as
// characters with '.' for control bytes, 127 and bytes from 128 on.
// A size of 0 or less logs nothing.
void hexDump(const void* data, int size);

}  // namespace orvel
