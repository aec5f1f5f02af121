// The built-in stand-in for the common controls library's resources.
#pragma once

#include "gui/gl/ResourceModule.h"

namespace pellium {

// Made on first use; lives as long as the process.
const ResourceModule* commonControlsModule();

}  // namespace pellium
