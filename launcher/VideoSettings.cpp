#include "VideoSettings.h"

#include "base/RegistryKey.h"
#include "gui/gl/VideoSwitches.h"
#include "scene/LodBranch.h"

namespace game_launcher {

const char* const registryKey = "Tessaran Interactive Ltd\\Kalvora";

void readVideoSettings() {
    pellium::fullGLacceleration = true;
    pellium::fogEnabled = true;
    orvel::RegistryKey key(registryKey, false, 0);
    key.getBool("Use display lists", pellium::fullGLacceleration);
    key.getBool("Enable fog", pellium::fogEnabled);
    kessa::LodBranch::setFading(true);
}

void writeVideoSettings() {
    orvel::RegistryKey key(registryKey, true, 0);
    key.setBool("Use display lists", pellium::fullGLacceleration);
    key.setBool("Enable fog", pellium::fogEnabled);
}

}  // namespace game_launcher
