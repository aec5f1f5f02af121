#include <gtest/gtest.h>

#include "gui/gl/GLcaps.h"
#include "gui/gl/VideoSwitches.h"
#include "scene/LodBranch.h"
#include "scene/render/RendererSwitches.h"
#include "tests/LogCapture.h"

namespace {

TEST(RendererSwitches, ATntRendererTurnsAccelerationOff) {
    LogCapture log;
    pellium::GLcaps caps;
    for (const char* name : {"RIVA TNT2/AGP/SSE", "TNT", "NVIDIA RIVA TNT"}) {
        pellium::fullGLacceleration = true;
        caps.renderer = name;
        EXPECT_TRUE(kessa::limitAccelerationForRenderer(caps)) << name;
        EXPECT_FALSE(pellium::fullGLacceleration) << name;
        EXPECT_EQ(log.take(), "fullGLacceleration set to false\n");
    }
    pellium::fullGLacceleration = true;
}

TEST(RendererSwitches, OtherRenderersLeaveTheSwitchAlone) {
    LogCapture log;
    pellium::GLcaps caps;
    for (bool on : {true, false}) {
        for (const char* name : {"llvmpipe (LLVM 15.0.6, 256 bits)", "tnt", "", "GeForce T N T"}) {
            pellium::fullGLacceleration = on;
            caps.renderer = name;
            EXPECT_FALSE(kessa::limitAccelerationForRenderer(caps)) << name;
            EXPECT_EQ(pellium::fullGLacceleration, on) << name;
        }
    }
    EXPECT_EQ(log.text(), "");
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
