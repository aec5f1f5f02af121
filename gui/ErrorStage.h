// The process-wide progress word: drawing and driver code writes a step
// number here before a risky driver call, and the program's top-level error
// handler shows it as the code of its error box.
#pragma once

#include <cstdint>

namespace pellium {

extern std::uint32_t errorStageCode;

}  // namespace pellium
