// The process-wide fonts: one shared Font per key, made on first use and kept
// for the life of the process. Main thread only.
#pragma once

#include <cstddef>

#include "base/counted_ptr.h"
#include "gui/gl/Font.h"

namespace pellium {

class FontCache {
public:
    // The font for key. When the platform's font backend has changed since
    // the fonts were made, they are dropped first: holders keep theirs.
    static orvel::counted_ptr<Font> get(const FontKey& key);
    static void clear();
    static size_t size();
};

}  // namespace pellium
