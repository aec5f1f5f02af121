#include "ErrorStage.h"

namespace pellium {

std::uint32_t errorStageCode = 0;

}  // namespace pellium
