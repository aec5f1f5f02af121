// The program with one step of its start-up made to fail:
//   launcher_failing_step_child <step> exception|text|other|fault|overflow|abort [word]
// sets the progress word to the word given (1000 × (step + 1) by default)
// and, at the beginning of that step, throws a standard exception, a message
// text (as the scene library throws) or an int, or crashes as a driver
// would: with a fault, its stack overflowed, or an abort.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "gui/Application.h"
#include "gui/ErrorStage.h"
#include "launcher/startProgram.h"

namespace {

int failing = -1;
const char* kind = "";
std::uint32_t word = 0;

// Deep enough for any stack; the padding keeps each call a frame of its own.
int descend(int depth) {
    volatile char pad[256];
    pad[0] = char(depth);
    return depth > 0 ? descend(depth - 1) + pad[0] : pad[0];
}

void failAt(StartStep step) {
    if (int(step) != failing)
        return;
    pellium::errorStageCode = word;
    if (std::strcmp(kind, "exception") == 0)
        throw std::runtime_error("a library failed");
    if (std::strcmp(kind, "text") == 0)
        throw "the scene's own text";
    int* volatile unmapped = reinterpret_cast<int*>(std::uintptr_t(16));
    if (std::strcmp(kind, "fault") == 0)
        *unmapped = 1;
    if (std::strcmp(kind, "overflow") == 0)
        std::exit(descend(1 << 30));
    if (std::strcmp(kind, "abort") == 0)
        std::abort();
    throw 42;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    failing = std::atoi(argv[1]);
    kind = argv[2];
    word = argc > 3 ? std::uint32_t(std::strtoul(argv[3], nullptr, 10)) : 1000u * unsigned(failing + 1);
    setStartStepHook(failAt);
    return pellium::WinMain("", startProgram);
}
