#include "scene/render/Viewer.h"

#include <algorithm>
#include <cmath>

#include "base/Debug.h"
#include "gui/gl/GLclient.h"
#include "gui/gl/GLdraw.h"
#include "gui/gl/GLmatrix.h"
#include "gui/gl/GLstate.h"
#include "scene/Bounds.h"

namespace kessa {

namespace {

constexpr double degrees = 3.141592653589793 / 180;

// Where a step from current towards wanted may go: within low .. high or,
// when current is outside already, no further out than it is.
double heldStep(double current, double wanted, double low, double high) {
    if (std::isnan(wanted))
        return current;
    return std::clamp(wanted, std::min(low, current), std::max(high, current));
}

}  // namespace

Viewer::Viewer() {
    setViewPreset(0);
    setPerspective(true);
    refreshAxes();
    computeAspect();
    changed = false;
}

void Viewer::refreshAxes() {
    position_ = camera_.translation();
    for (int i = 0; i < 3; ++i)
        axes_[i] = camera_.row(i);
}

void Viewer::setViewPreset(int preset) {
    perspective_ = false;
    preset_ = preset;
    switch (preset) {
    case 1: camera_.setRotation(180, Vector(0, 0, 1)); break;
    case 2: camera_.setRotation(90, Vector(0, 0, 1)); break;
    case 3: camera_.setRotation(-90, Vector(0, 0, 1)); break;
    case 4: camera_.setRotation(-90, Vector(1, 0, 0)); break;
    case 5: camera_.setRotation(90, Vector(1, 0, 0)); break;
    default:
        preset_ = 0;
        camera_.setIdentity();
        break;
    }
    camera_.invert(view_);
    invalidate();
}

void Viewer::setPerspective(bool on) {
    perspective_ = on;
    invalidate();
}

void Viewer::setFieldOfView(double deg) {
    fieldOfView_ = deg;
    invalidate();
}

void Viewer::setOrthoCentre(double x, double y, double z) {
    orthoCentre_ = Vector(x, y, z);
    invalidate();
}

void Viewer::setOrthoHalfHeight(double h) {
    orthoHalfHeight_ = h;
    invalidate();
}

void Viewer::setNearFar(double nearDistance, double farDistance) {
    if (perspective_) {
        if (nearDistance < 0.01f)
            nearDistance = 0.01f;
        if (farDistance < 1.0)
            farDistance = 1.0;
    }
    near_ = nearDistance;
    far_ = farDistance;
    invalidate();
}

void Viewer::setCameraMatrix(const Matrix& m) {
    if (!perspective_)
        return;
    camera_ = m;
    m.invert(view_);
    refreshAxes();
    frustumValid_ = false;
    changed = true;
}

Placement Viewer::getPlacement() const {
    Placement p;
    p.setFromMatrix(camera_);
    return p;
}

void Viewer::setPlacement(const Placement& p) {
    Matrix m;
    m.setPlacement(p);
    setCameraMatrix(m);
}

void Viewer::setAspectScale(float f) {
    aspectFactor_ = f >= 0.01f && f <= 100 ? 1 / f : 1;
    computeAspect();
    invalidate();
}

void Viewer::setWindowSize(int width, int height) {
    if (width < 1 || height < 1) {
        orvel::debug("Viewer::setWindowSize() - bad sizes passed, ignored!\n");
        return;
    }
    if (width != width_ || height != height_) {
        width_ = width;
        height_ = height;
        computeAspect();
        invalidate();
    }
}

void Viewer::setWindowSize(const pellium::GLRenderInfo& info) {
    setWindowSize(info.width, info.height);
    if (perspective_) {
        pellium::setPerspective(info, fieldOfView_, near_, far_, aspect_);
    } else {
        double r[4];
        orthoRect(r);
        pellium::setOrtho(r[0], r[1], r[2], r[3], near_, far_);
    }
    pellium::loadViewIdentity();
    view_.multGL();
}

void Viewer::drawViewportOutline(const pellium::GLRenderInfo& info) {
    if (!explicitViewport_)
        return;
    constexpr int depthTest = 5, lineLoop = 3;
    pellium::setPixelProjection(info);
    pellium::disableGLState(depthTest);
    pellium::color4f(1, 0.5f, 0.5f, 1);
    const float x0 = float(viewport_[0]), y0 = float(viewport_[1]);
    const float x1 = float(viewport_[0] + viewport_[2] - 1), y1 = float(viewport_[1] + viewport_[3] - 1);
    pellium::beginPrimitive(lineLoop);
    pellium::vertex3f(x0, y0, 0);
    pellium::vertex3f(x1, y0, 0);
    pellium::vertex3f(x1, y1, 0);
    pellium::vertex3f(x0, y1, 0);
    pellium::endPrimitive();
    pellium::enableGLState(depthTest);
    setWindowSize(info);
}

void Viewer::setViewport(int x, int y, int width, int height) {
    explicitViewport_ = true;
    viewport_[0] = x;
    viewport_[1] = y;
    viewport_[2] = width;
    viewport_[3] = height;
    invalidate();
}

void Viewer::clearViewport() {
    explicitViewport_ = false;
    invalidate();
}

void Viewer::orthoRect(double rect[4]) {
    if (!rectValid_) {
        const double cx = orthoCentre_.x, cy = orthoCentre_.y, s = orthoHalfHeight_;
        if (width_ >= height_) {
            rect_[0] = cx - s * width_ / height_;
            rect_[1] = cx + s * width_ / height_;
            rect_[2] = cy - s;
            rect_[3] = cy + s;
        } else {
            rect_[0] = cx - s;
            rect_[1] = cx + s;
            rect_[2] = cy - s * height_ / width_;
            rect_[3] = cy + s * height_ / width_;
        }
        rectValid_ = true;
    }
    for (int i = 0; i < 4; ++i)
        rect[i] = rect_[i];
}

const Matrix& Viewer::projection() {
    if (!projectionValid_) {
        double m[16] = {};
        if (perspective_) {
            double f = 1 / std::tan(fieldOfView_ * 0.5 * degrees);
            m[0] = f / aspect_;
            m[5] = f;
            m[10] = near_ == far_ ? 0 : (far_ + near_) / (near_ - far_);
            m[11] = -1;
            m[14] = (m[10] - 1) * near_;
        } else {
            double r[4];
            orthoRect(r);
            m[0] = 2 / (r[1] - r[0]);
            m[5] = 2 / (r[3] - r[2]);
            m[10] = 2 / (near_ - far_);
            m[12] = -m[0] * orthoCentre_.x;
            m[13] = -m[5] * orthoCentre_.y;
            m[14] = -0.5 * m[10] * near_;
            m[15] = 1;
        }
        projection_.set(m);
        projectionValid_ = true;
    }
    return projection_;
}

double Viewer::pixelSize(double distance) {
    if (!pixelValid_) {
        if (perspective_) {
            pixelFactor_ = 1 / (width_ * 0.5 * projection()(0, 0));
        } else {
            double r[4];
            orthoRect(r);
            pixelFactor_ = (r[1] - r[0]) / width_;
        }
        pixelValid_ = true;
    }
    return distance * pixelFactor_;
}

const ViewFrustum& Viewer::frustum() {
    if (!frustumValid_) {
        if (!explicitViewport_) {
            viewport_[0] = viewport_[1] = 0;
            viewport_[2] = int(width_);
            viewport_[3] = int(height_);
        }
        frustum_.build(*this, viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
        frustumValid_ = true;
    }
    return frustum_;
}

double Viewer::stepDepth(double depth, double wanted) const {
    return depth > 0 ? heldStep(depth, wanted, near_, far_) : depth;
}

void Viewer::zoomAt(double px, double py, double factor) {
    if (!(factor > 0))
        return;
    if (orthoHalfHeight_ > 0)
        factor = heldStep(orthoHalfHeight_, orthoHalfHeight_ * factor, minOrthoHalfHeight, maxOrthoHalfHeight) /
                 orthoHalfHeight_;
    double r[4];
    orthoRect(r);
    const double wx = r[0] + px / width_ * (r[1] - r[0]);
    const double wy = r[2] + py / height_ * (r[3] - r[2]);
    orthoHalfHeight_ *= factor;
    orthoCentre_.x = (orthoCentre_.x - wx) * factor + wx;
    orthoCentre_.y = (orthoCentre_.y - wy) * factor + wy;
    invalidate();
}

PickRay Viewer::pickRay(double px, double py) {
    PickRay ray;
    if (perspective_) {
        const Matrix& p = projection();
        const double u = (px - width_ / 2) / (width_ / 2 * p(0, 0));
        const double v = (py - height_ / 2) / (height_ / 2 * p(1, 1));
        ray.start = Vector(u * near_, near_, v * near_);
        ray.end = Vector(u * far_, far_, v * far_);
    } else {
        double r[4];
        orthoRect(r);
        const double x = r[0] + px / width_ * (r[1] - r[0]);
        const double z = r[2] + py / height_ * (r[3] - r[2]);
        ray.start = Vector(x, near_, z);
        ray.end = Vector(x, far_, z);
    }
    Matrix::transformPoint(ray.start, ray.start, camera_);
    Matrix::transformPoint(ray.end, ray.end, camera_);
    return ray;
}

void Viewer::frameBounds(const Bounds& bounds) {
    const Vector& c = bounds.centre();
    const double r = bounds.radius();
    if (!perspective_) {
        Vector local;
        Matrix::transformPoint(local, c, view_);
        orthoCentre_ = Vector(local.x, local.z, 0);
        orthoHalfHeight_ = r;
        near_ = local.y - r;
        far_ = local.y + 2 * r;
        invalidate();
        return;
    }
    Matrix m;
    if (bounds.valid()) {
        double d = r * 1.2 / std::tan(fieldOfView_ * 0.5 * degrees);
        if (d == 0)
            d = 10;
        // Straight behind the centre, looking along +y at it.
        m.setTranslation(Vector(c.x, c.y - d, c.z));
        near_ = std::max(d * 0.01, 0.01);
        far_ = std::max(d * 10, 1.0);
        invalidate();
    } else {
        m.setTranslation(Vector(0, -10, 0));
    }
    orvel::debug("Near/far=%f/%f\n", near_, far_);
    setCameraMatrix(m);
}

}  // namespace kessa
