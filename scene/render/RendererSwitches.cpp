#include "scene/render/RendererSwitches.h"

#include <cstring>

#include "base/Debug.h"
#include "gui/gl/GLcaps.h"
#include "gui/gl/VideoSwitches.h"
#include "scene/LodBranch.h"

namespace kessa {

bool limitAccelerationForRenderer(const pellium::GLcaps& caps) {
    if (!std::strstr(caps.renderer.c_str(), "TNT"))
        return false;
    orvel::debug("fullGLacceleration set to false\n");
    pellium::fullGLacceleration = false;
    return true;
}

bool toggleFadingOnKey(int keyCode) {
    if (keyCode != 108)
        return false;
    LodBranch::setFading(!LodBranch::fading());
    return true;
}

}  // namespace kessa
