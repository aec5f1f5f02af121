// Start-up's verdict on a graphics driver.
#include <gtest/gtest.h>

#include "launcher/GraphicsCheck.h"

namespace {

pellium::GLcaps driver(bool accelerated, int units) {
    pellium::GLcaps caps;
    caps.valid = true;
    caps.accelerated = accelerated;
    caps.textureUnits = units;
    return caps;
}

const char* const noAccelerator =
    "No 3D graphics accelerator found. You probably need to update your graphics card driver...";
const char* const tooFewUnits = "Fatal graphics card error (not enough texture units).";

TEST(GraphicsCheck, AnAcceleratedDriverNeedsTwoUnitsAndWithoutAccelerationNothingElseCounts) {
    struct Case {
        bool accelerated;
        int units;
        const char* problem;
    } cases[] = {{true, 2, nullptr},     {true, 8, nullptr},        {true, 1, tooFewUnits},
                 {true, 0, tooFewUnits}, {false, 8, noAccelerator}, {false, 1, noAccelerator}};
    for (const Case& k : cases) {
        const char* problem = game_launcher::graphicsCardProblem(driver(k.accelerated, k.units));
        EXPECT_STREQ(problem, k.problem) << k.accelerated << " " << k.units;
    }
    // No display at all leaves the probe's record empty.
    EXPECT_STREQ(game_launcher::graphicsCardProblem(pellium::GLcaps()), noAccelerator);
}

}  // namespace
