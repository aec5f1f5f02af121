#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/TempFolder.h"
#include "base/RegistryKey.h"
#include "gui/gl/VideoSwitches.h"
#include "launcher/VideoSettings.h"
#include "scene/LodBranch.h"

namespace {

class VideoSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("ORVEL_REGISTRY_FILE", (folder / "registry.sqlite").c_str(), 1); }
    void TearDown() override {
        unsetenv("ORVEL_REGISTRY_FILE");
        pellium::fullGLacceleration = pellium::fogEnabled = true;
    }
    TempFolder folder;
};

}  // namespace

TEST_F(VideoSettingsTest, WithoutStoredValuesBothSwitchesAreOnAndFadingToo) {
    pellium::fullGLacceleration = false;
    pellium::fogEnabled = false;
    kessa::LodBranch::setFading(false);
    game_launcher::readVideoSettings();
    EXPECT_TRUE(pellium::fullGLacceleration);
    EXPECT_TRUE(pellium::fogEnabled);
    EXPECT_TRUE(kessa::LodBranch::fading());
}

TEST_F(VideoSettingsTest, StoredValuesAreTakenAndWrittenBack) {
    {
        orvel::RegistryKey key(game_launcher::registryKey, true, 0);
        ASSERT_TRUE(key.setBool("Use display lists", false));
        ASSERT_TRUE(key.setInt("Enable fog", 7));
    }
    game_launcher::readVideoSettings();
    EXPECT_FALSE(pellium::fullGLacceleration);
    EXPECT_TRUE(pellium::fogEnabled) << "any non-zero number is on";

    pellium::fullGLacceleration = true;
    pellium::fogEnabled = false;
    game_launcher::writeVideoSettings();
    orvel::RegistryKey key(game_launcher::registryKey, false, 0);
    int lists = -1, fog = -1;
    ASSERT_TRUE(key.getInt("Use display lists", lists));
    ASSERT_TRUE(key.getInt("Enable fog", fog));
    EXPECT_EQ(lists, 1);
    EXPECT_EQ(fog, 0);
}

TEST_F(VideoSettingsTest, AValueOfTheWrongTypeKeepsTheDefault) {
    {
        orvel::RegistryKey key(game_launcher::registryKey, true, 0);
        ASSERT_TRUE(key.setString("Use display lists", "no"));
    }
    pellium::fullGLacceleration = false;
    game_launcher::readVideoSettings();
    EXPECT_TRUE(pellium::fullGLacceleration);
}
