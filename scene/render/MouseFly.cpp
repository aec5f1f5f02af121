#include "scene/render/MouseFly.h"

#include <cmath>

#include "gui/Event.h"
#include "scene/Collider.h"
#include "scene/Matrix.h"
#include "scene/Stopwatch.h"
#include "scene/render/Viewer.h"

namespace kessa {

namespace {

double wrap360(double a) { return a < 0 ? a + 360 : a >= 360 ? a - 360 : a; }

}  // namespace

MouseFly::MouseFly(pellium::Window& window, const pellium::Event& start, Viewer& viewer, Collider* collider)
    : Twiddler(window, start), viewer_(viewer), collider_(collider), placement_(viewer.getPlacement()) {}

bool MouseFly::handleEvent(const pellium::Event& event) {
    namespace E = pellium::EventType;
    const int type = event.type;
    if (type < E::Move || type > E::Key)
        return true;
    // Whether the event's position steers from now on.
    bool take = (type >= E::LeftDown && type <= E::RightUp) || type == E::Move;
    refresh(event, false);
    switch (type) {
    case E::LeftDown:
        if (right || speed_ < 0) {
            stopped_ = true;
            take = false;
        }
        break;
    case E::LeftUp:
    case E::RightUp:
        if (stopped_ && !(type == E::LeftUp ? right : left)) {
            stopped_ = false;
            take = false;
        }
        break;
    case E::MiddleDown:
        stopped_ = true;
        take = false;
        break;
    case E::MiddleUp:
        if (stopped_)
            done_ = true;
        break;
    case E::RightDown:
        if (left || speed_ > 0) {
            stopped_ = true;
            take = false;
        }
        break;
    case E::Wheel:
    case E::Key:
        done_ = true;
        break;
    default:
        break;
    }
    if (take && !done_ && event.x >= 0) {
        x = event.x;
        y = event.y;
    }
    return true;
}

bool MouseFly::idle() {
    if (done_)
        return false;
    if (Stopwatch::lastTick() == 0)
        return true;  // the clock has not started
    const double t = Stopwatch::frameDelta();

    // Roll levels out; the pointer's distance from the centre steers, its
    // square giving fine control near the centre.
    placement_.roll *= std::pow(0.99, 100 * t);
    const double k = 0.4 / width, dx = x - width / 2.0, dy = y - height / 2.0;
    double yawStep = std::fabs(dx) * t * dx * k;
    const double pitchStep = std::fabs(dy) * t * dy * k;
    const double pitch = placement_.pitch;
    if (pitch > 90 && pitch < 270)
        yawStep = -yawStep;  // upside down, left and right swap
    placement_.heading = wrap360(placement_.heading - yawStep);
    placement_.pitch = wrap360(placement_.pitch + pitchStep);
    viewer_.setPlacement(placement_);

    if (stopped_) {
        speed_ = 0;
        return true;
    }
    const double a = (viewer_.farDistance() - viewer_.nearDistance()) * std::log(2.0) * t * 0.2;
    if (left)
        speed_ += speed_ < 0 ? 2 * a : a;
    else if (right)
        speed_ -= speed_ > 0 ? 2 * a : a;
    const Vector step = viewer_.axis(1) * (speed_ * t);
    if (!collider_) {
        placement_.position += step;
        return true;
    }
    setMotion(placement_.position, step, viewer_.nearDistance() * 1.2);
    addCollider(collider_);
    collide();
    placement_.position = position;
    return true;
}

}  // namespace kessa
