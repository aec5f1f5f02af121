// Facts about the running program and the machine.
#pragma once

#include <string>

namespace platform {

// The running executable's full path, native form ("" when unknown).
std::string executablePath();

}  // namespace platform
