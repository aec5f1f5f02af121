#include "VideoSwitches.h"

namespace pellium {

bool fullGLacceleration = true;
bool fogEnabled = true;

}  // namespace pellium
