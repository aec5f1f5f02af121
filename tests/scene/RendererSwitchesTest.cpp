#include <gtest/gtest.h>

#include <string>

#include "gui/gl/GLcaps.h"
#include "gui/gl/VideoSwitches.h"
#include "scene/LodBranch.h"
#include "scene/render/RendererSwitches.h"
#include "tests/support/LogCapture.h"

namespace {

TEST(RendererSwitches, OnlyATntRendererTurnsAccelerationOff) {
    const struct {
        const char* renderer;
        bool tnt;
    } rows[] = {{"RIVA TNT2/AGP/SSE", true}, {"TNT", true}, {"NVIDIA RIVA TNT", true},
                {"llvmpipe (LLVM 15.0.6, 256 bits)", false}, {"tnt", false}, {"", false}, {"GeForce T N T", false}};
    LogCapture log;
    pellium::GLcaps caps;
    for (const auto& row : rows)
        for (bool on : {true, false}) {
            SCOPED_TRACE(std::string(row.renderer) + (on ? ", on" : ", off"));
            pellium::fullGLacceleration = on;
            caps.renderer = row.renderer;
            EXPECT_EQ(kessa::limitAccelerationForRenderer(caps), row.tnt);
            EXPECT_EQ(pellium::fullGLacceleration, on && !row.tnt);
            EXPECT_EQ(log.take(), row.tnt ? "fullGLacceleration set to false\n" : "");
        }
    pellium::fullGLacceleration = true;
}

TEST(RendererSwitches, TheLetterLTogglesCrossFading) {
    kessa::LodBranch::setFading(true);
    EXPECT_TRUE(kessa::toggleFadingOnKey(108));
    EXPECT_FALSE(kessa::LodBranch::fading());
    EXPECT_TRUE(kessa::toggleFadingOnKey(108));
    EXPECT_TRUE(kessa::LodBranch::fading());
    for (int other : {76, 107, 109, 0, -108})
        EXPECT_FALSE(kessa::toggleFadingOnKey(other)) << other;
    EXPECT_TRUE(kessa::LodBranch::fading());
}

}  // namespace
