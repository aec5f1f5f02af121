// The program with one step of its start-up made to fail:
//   launcher_failing_step_child <step> exception|text|other
// sets the progress word to 1000 × (step + 1) and throws, at the beginning
// of that step, a standard exception, a message text (as the scene library
// throws) or an int.
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "gui/Application.h"
#include "gui/ErrorStage.h"
#include "launcher/startProgram.h"

namespace {

int failing = -1;
const char* kind = "";

void failAt(StartStep step) {
    if (int(step) != failing)
        return;
    pellium::errorStageCode = 1000u * unsigned(failing + 1);
    if (std::strcmp(kind, "exception") == 0)
        throw std::runtime_error("a library failed");
    if (std::strcmp(kind, "text") == 0)
        throw "the scene's own text";
    throw 42;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    failing = std::atoi(argv[1]);
    kind = argv[2];
    setStartStepHook(failAt);
    return pellium::WinMain("", startProgram);
}
