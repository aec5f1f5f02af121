// The process-wide progress word: drawing and driver code writes a step
// number here before a risky driver call, and the program's top-level error
// handler shows it as the code of its error box.
#pragma once

#include <cstdint>
#include <exception>

namespace pellium {

extern std::uint32_t errorStageCode;

// A step of driver calls: the word names it while it runs, and
// says again what it said before once it is done, as a crash after it is no
// longer the driver's. A step left by an exception keeps its number for the
// error box.
class DriverStep {
public:
    explicit DriverStep(std::uint32_t code) : previous_(errorStageCode) { errorStageCode = code; }
    ~DriverStep() {
        if (std::uncaught_exceptions() == exceptions_)
            errorStageCode = previous_;
    }
    DriverStep(const DriverStep&) = delete;
    DriverStep& operator=(const DriverStep&) = delete;

private:
    std::uint32_t previous_;
    int exceptions_ = std::uncaught_exceptions();
};

}  // namespace pellium
