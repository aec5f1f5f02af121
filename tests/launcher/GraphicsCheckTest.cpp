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

TEST(GraphicsCheck, AnAcceleratedDriverWithTwoUnitsWillDo) {
    EXPECT_EQ(game_launcher::graphicsCardProblem(driver(true, 2)), nullptr);
    EXPECT_EQ(game_launcher::graphicsCardProblem(driver(true, 8)), nullptr);
}

TEST(GraphicsCheck, OneUnitIsTooFew) {
    EXPECT_STREQ(game_launcher::graphicsCardProblem(driver(true, 1)), tooFewUnits);
    EXPECT_STREQ(game_launcher::graphicsCardProblem(driver(true, 0)), tooFewUnits);
}

TEST(GraphicsCheck, WithoutAccelerationNothingElseCounts) {
    EXPECT_STREQ(game_launcher::graphicsCardProblem(driver(false, 8)), noAccelerator);
    EXPECT_STREQ(game_launcher::graphicsCardProblem(driver(false, 1)), noAccelerator);
    // No display at all leaves the probe's record empty.
    EXPECT_STREQ(game_launcher::graphicsCardProblem(pellium::GLcaps()), noAccelerator);
}

}  // namespace
