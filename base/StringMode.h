// How the byte streams write and read a text.
#pragma once

namespace orvel {

enum StringMode : int {
    stringTerminated = 0,     // the bytes, then a 0 byte
    stringLineEnd = 1,        // the bytes, then LF and CR; read as stringTerminated
    stringByteLength = 2,     // one length byte, then at most 255 bytes
    stringWordLength = 3,     // a 32-bit length, then the bytes
    stringCompactLength = 4,  // a compact length, then the bytes
};

}  // namespace orvel
