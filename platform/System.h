// Facts about the running program and the machine.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The running executable's full path, native form ("" when unknown).
std::string executablePath();

// The kernel's release ("6.1.0-18-amd64"), "" when unknown.
std::string osRelease();
// Processors online; at least 1.
int processorCount();
// Total physical memory in bytes, 0 when unknown.
std::uint64_t physicalMemoryBytes();

}  // namespace platform
