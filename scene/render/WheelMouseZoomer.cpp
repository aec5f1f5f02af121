#include "scene/render/WheelMouseZoomer.h"

#include "gui/Event.h"
#include "scene/Matrix.h"
#include "scene/render/Viewer.h"

namespace kessa {

WheelMouseZoomer::WheelMouseZoomer(pellium::Window& window, const pellium::Event& wheel, Viewer& viewer,
                                   const Vector& pick)
    : Twiddler(window, wheel) {
    if (!viewer.perspective()) {
        viewer.zoomAt(x, y, wheel.wheel < 1 ? 0.8 : 1.4);
        return;
    }
    // Towards the picked point, a little faster away from the user than back.
    Matrix view = viewer.viewMatrix(), camera;
    Vector c;
    Matrix::transformPoint(c, pick, view);
    view.translate(c * (wheel.wheel * (wheel.wheel >= 0 ? 0.0025 : 0.0015)));
    viewer.setCameraMatrix(view.invert(camera));
}

}  // namespace kessa
