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
    // Towards the picked point, a little faster away from the user than back,
    // and never onto it nor out of the finite world.
    Matrix view = viewer.viewMatrix(), camera;
    Vector c;
    Matrix::transformPoint(c, pick, view);
    const double s = wheel.wheel * (wheel.wheel >= 0 ? 0.0025 : 0.0015);
    if (c.y > 0)
        view.translate(c * (viewer.stepDepth(c.y, c.y * (1 + s)) / c.y - 1));
    viewer.setCameraMatrix(view.invert(camera));
}

}  // namespace kessa
