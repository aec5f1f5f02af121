#include "scene/render/MouseTwiddler.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "gui/Event.h"
#include "scene/render/Viewer.h"

namespace kessa {

namespace {

constexpr double degreesPerRadian = 180 / 3.14159265358979323846;

}  // namespace

MouseTwiddler::MouseTwiddler(pellium::Window& window, const pellium::Event& start, Viewer& viewer,
                             const Vector& pick)
    : Twiddler(window, start), viewer_(viewer), pick_(pick) {
    begin();
}

Vector MouseTwiddler::centre() const {
    Vector c;
    Matrix::transformPoint(c, pick_, savedView_);
    return c;
}

void MouseTwiddler::setView(const Matrix& view) {
    Matrix camera;
    view.invert(camera);
    viewer_.setCameraMatrix(camera);
}

void MouseTwiddler::begin() {
    savedView_ = viewer_.viewMatrix();
    savedCentre_ = viewer_.orthoCentre();
    savedHalfHeight_ = viewer_.orthoHalfHeight();
    startX_ = x;
    startY_ = y;
    if (left && right) {
        mode_ = pan;
    } else if (left) {
        mode_ = zoom;
        axisLock_ = undecided;
    } else if (!viewer_.perspective()) {
        mode_ = pan;
    } else if (right) {
        // Near the border the drag rolls the camera, inside it tumbles it.
        const double w = width, h = height;
        const bool inside = x >= w / 8 && x <= 7 * w / 8 && y >= h / 10 && y <= 9 * h / 10;
        mode_ = inside ? tumble : roll;
        if (!inside)
            startAngle_ = std::atan2(x - w / 2, y - h / 2) * degreesPerRadian;
    }
}

bool MouseTwiddler::handleEvent(const pellium::Event& event) {
    refresh(event);
    switch (event.type) {
    case pellium::EventType::LeftDown:
    case pellium::EventType::LeftUp:
    case pellium::EventType::MiddleDown:
    case pellium::EventType::MiddleUp:
    case pellium::EventType::RightDown:
    case pellium::EventType::RightUp:
        if (!left && !middle && !right)
            return false;
        begin();
        break;
    case pellium::EventType::Move:
        move();
        break;
    default:
        break;
    }
    return true;
}

void MouseTwiddler::move() {
    const int dx = x - startX_, dy = y - startY_;
    Matrix view = savedView_;
    switch (mode_) {
    case tumble: {
        const Vector c = centre();
        view.translate(-c);
        view.rotate(dx / 3.0, Vector(0, 0, 1));
        view.rotate(-dy / 3.0, Vector(1, 0, 0));
        view.translate(c);
        setView(view);
        break;
    }
    case roll: {
        const double angle = std::atan2(x - width / 2.0, y - height / 2.0) * degreesPerRadian;
        view.rotate(angle - startAngle_, Vector(0, 1, 0));
        setView(view);
        break;
    }
    case zoom: {
        // The drag picks its axis once it is long enough either way.
        const bool across = std::abs(dx) > std::abs(dy);
        int d = axisLock_ == horizontal ? dx : axisLock_ == vertical ? dy : across ? dx : dy;
        if (axisLock_ == undecided && std::abs(d) > lockDistance)
            axisLock_ = across ? horizontal : vertical;
        const double f = d / (height * 0.5);
        if (!viewer_.perspective()) {
            viewer_.setOrthoCentre(savedCentre_.x, savedCentre_.y, savedCentre_.z);
            viewer_.setOrthoHalfHeight(savedHalfHeight_);
            double z = 2 * f;
            z = z < 0 ? z * z + 1 : 1 - z / 2;
            viewer_.zoomAt(startX_, startY_, std::max(z, 0.001));
        } else {
            // Along the line of sight, stopping short of the picked point.
            const Vector c = centre();
            view.translate(Vector(0, viewer_.stepDepth(c.y, c.y - c.length() * f) - c.y, 0));
            setView(view);
        }
        break;
    }
    default: {
        if (!viewer_.perspective()) {
            const double s = viewer_.pixelSize(1);
            viewer_.setOrthoCentre(savedCentre_.x - dx * s, savedCentre_.y - dy * s, savedCentre_.z);
        } else {
            const double s = viewer_.pixelSize(std::fabs(centre().y));
            view.translate(Vector(dx * s, 0, dy * s));
            setView(view);
        }
    }
    }
}

}  // namespace kessa
