// The camera and viewport of a 3D view: where the camera is, how it projects
// (perspective or orthographic), the window size it draws into, and the view
// frustum that follows from them. Camera space has x to the right, y forward
// (the viewing direction) and z up. The projection, the orthographic
// rectangle, the pixel size and the frustum are worked out when first asked
// for and kept until a setter changes what they depend on.
#pragma once

#include "scene/Matrix.h"
#include "scene/Placement.h"
#include "scene/render/ViewFrustum.h"

namespace pellium {
struct GLRenderInfo;
}

namespace kessa {

class Bounds;

// A segment through a pixel, from the near distance to the far one, in world space.
struct PickRay {
    Vector start, end;
};

class Viewer {
public:
    // Perspective, 45 degrees, near 1 and far 1000, identity camera, 100 x 100.
    Viewer();

    // Switches to orthographic and turns the camera: 0 identity, 1 half a
    // turn about z, 2 a quarter turn about z, 3 minus a quarter about z, 4
    // minus a quarter about x, 5 a quarter about x; other presets store 0.
    void setViewPreset(int preset);
    int viewPreset() const { return preset_; }
    void setPerspective(bool on);
    bool perspective() const { return perspective_; }
    // The full vertical angle, in degrees.
    void setFieldOfView(double degrees);
    double fieldOfView() const { return fieldOfView_; }

    void setOrthoCentre(double x, double y, double z);
    const Vector& orthoCentre() const { return orthoCentre_; }
    void setOrthoHalfHeight(double h);
    double orthoHalfHeight() const { return orthoHalfHeight_; }

    // In perspective the near distance is at least 0.01 and the far one at least 1.
    void setNearFar(double nearDistance, double farDistance);
    double nearDistance() const { return near_; }
    double farDistance() const { return far_; }

    // Camera to world; ignored in orthographic mode.
    void setCameraMatrix(const Matrix& m);
    const Matrix& cameraMatrix() const { return camera_; }
    // World to camera.
    const Matrix& viewMatrix() const { return view_; }
    const Vector& position() const { return position_; }
    // The camera's right, forward and up axes in world space.
    const Vector& axis(int i) const { return axes_[i]; }

    Placement getPlacement() const;
    void setPlacement(const Placement& p);

    // A factor f in 0.01 .. 100 squeezes the aspect to 1 / f of the window's;
    // anything else restores it.
    void setAspectScale(float f);
    double aspect() const { return aspect_; }

    // Called as a frame begins: takes the window's size (a window smaller
    // than 1 x 1 is logged and ignored), loads the projection into GL and
    // the view matrix as the modelview.
    void setWindowSize(const pellium::GLRenderInfo& info);
    // The size part alone, without GL.
    void setWindowSize(int width, int height);
    double width() const { return width_; }
    double height() const { return height_; }

    // The frustum's viewport instead of the whole window.
    void setViewport(int x, int y, int width, int height);
    void clearViewport();
    bool hasViewport() const { return explicitViewport_; }

    // The projective matrix in the row-vector layout of Matrix.
    const Matrix& projection();
    // Left, right, bottom, top.
    void orthoRect(double rect[4]);
    // World size of one pixel at that distance from the camera.
    double pixelSize(double distance);
    const ViewFrustum& frustum();

    // The orthographic half-height a zoom keeps within: the projection
    // stays finite and the view of a size worth showing.
    static constexpr double minOrthoHalfHeight = 1e-9, maxOrthoHalfHeight = 1e12;
    // Zooms the orthographic view by factor about a pixel, keeping the point
    // under it in place. A factor of 0 or less is ignored; the half-height
    // goes no further out of its range than it was.
    void zoomAt(double px, double py, double factor);
    // The depth a step of the camera towards or away from a point at depth
    // ahead may give that point, when it wants wanted: held between the near
    // and far distances (or no further out of them than it was), so that
    // the camera never reaches nor passes the point and stays in the finite
    // world. A point not ahead gives no direction: its depth stays.
    double stepDepth(double depth, double wanted) const;
    // The ray through a pixel, counted from the lower left.
    PickRay pickRay(double px, double py);
    // Places the camera to show the bounds whole.
    void frameBounds(const Bounds& bounds);
    // Outlines an explicit viewport in the window, for debugging, then
    // loads the viewer's projection again.
    void drawViewportOutline(const pellium::GLRenderInfo& info);

    // Set by every setter, for the owner to poll and clear.
    bool changed = false;
    // Kept for the owner.
    int settingA = 25, settingB = 4;

private:
    void invalidate() {
        projectionValid_ = rectValid_ = pixelValid_ = frustumValid_ = false;
        changed = true;
    }
    void refreshAxes();
    void computeAspect() { aspect_ = width_ / height_ * aspectFactor_; }

    bool perspective_ = true;
    int preset_ = 0;
    double fieldOfView_ = 45;
    Vector orthoCentre_;
    double orthoHalfHeight_ = 1;
    double near_ = 1, far_ = 1000;
    Matrix camera_, view_;
    Vector position_, axes_[3];

    bool projectionValid_ = false, rectValid_ = false, pixelValid_ = false, frustumValid_ = false;
    double width_ = 100, height_ = 100;
    double aspect_ = 1;
    Matrix projection_;
    double rect_[4] = {};
    double pixelFactor_ = 0;
    ViewFrustum frustum_;

    bool explicitViewport_ = false;
    int viewport_[4] = {0, 0, 1, 1};
    float aspectFactor_ = 1;
};

}  // namespace kessa
