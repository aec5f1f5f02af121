// The controller of a right-button drag in the 3D view window: it tumbles
// the camera about the picked point, rolls it (started near the border),
// zooms or dollies (with the left button) and pans (with both buttons).
#pragma once

#include "scene/Matrix.h"
#include "scene/render/Twiddler.h"

namespace kessa {

class Viewer;

class MouseTwiddler : public Twiddler {
public:
    enum Mode { tumble = 1, roll = 2, zoom = 3, pan = 4 };
    enum AxisLock { undecided = -1, horizontal = 1, vertical = 2 };
    // A zoom drag picks its axis once it is this many pixels long.
    static constexpr int lockDistance = 20;

    // pick: the point the camera turns about, in the world.
    MouseTwiddler(pellium::Window& window, const pellium::Event& start, Viewer& viewer, const Vector& pick);

    // Every button change starts the drag anew from where the camera is; no
    // button left down ends it.
    bool handleEvent(const pellium::Event& event) override;
    // A drag lasts as long as a button is down, whatever the frames do.
    bool idle() override { return true; }

    int mode() const { return mode_; }
    int axisLock() const { return axisLock_; }

private:
    void begin();
    void move();
    // The picked point in the space of the camera as it was at the start.
    Vector centre() const;
    void setView(const Matrix& view);

    Viewer& viewer_;
    Matrix savedView_;
    Vector savedCentre_;
    double savedHalfHeight_ = 1;
    Vector pick_;
    int mode_ = tumble;
    int axisLock_ = undecided;
    int startX_ = 0, startY_ = 0;
    double startAngle_ = 0;
};

}  // namespace kessa
