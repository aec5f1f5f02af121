#include "scene/render/KessaWindow.h"

#include "gui/Event.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLmatrix.h"
#include "gui/gl/GLstate.h"
#include "scene/Database.h"
#include "scene/Matrix.h"
#include "scene/Object.h"
#include "scene/Teapot.h"
#include "scene/Ray.h"
#include "scene/RayTracer.h"
#include "scene/Stopwatch.h"
#include "scene/render/KessaWindowInternals.h"
#include "scene/render/Material.h"
#include "scene/render/MouseFly.h"
#include "scene/render/MouseTwiddler.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/ViewCulledTraverser.h"
#include "scene/render/WheelMouseZoomer.h"

namespace kessa {

namespace {

// The walk and the accumulator every view window shares. Made on first use
// and kept to the end of the process: what they hold may refer to GL
// objects, and the context lives as long.
ViewCulledTraverser& culling() {
    static auto* traverser = new ViewCulledTraverser;
    return *traverser;
}

}  // namespace

RenderAccumulator& KessaWindow::accumulator() {
    static auto* shared = new RenderAccumulator;
    return *shared;
}

KessaWindow::KessaWindow(bool openNow) : pellium::GLwindow(openNow), internals_(new KessaWindowInternals(*this)) {
    setTitle("kessa");
    // Scenes are z-up: the camera looks along +y with +z up the screen.
    pellium::setZAxisUp(true);
}

KessaWindow::~KessaWindow() = default;

orvel::counted_ptr<Database>& KessaWindow::scene() {
    if (!scene_)
        makeDefaultScene();
    return scene_;
}

Twiddler* KessaWindow::twiddler() const { return internals_->twiddler.get(); }

const Vector& KessaWindow::pickPoint() const { return internals_->pickPoint; }

void KessaWindow::addToFrame(RenderAccumulator&, pellium::GLRenderInfo&) {}

void KessaWindow::render(pellium::GLRenderInfo& info) {
    ViewCulledTraverser& walk = culling();
    pellium::clearBuffers(pellium::Color{0, 0, 0, 1}, 1 | 2 | 4);
    light_.apply(0);
    if (Database* database = scene_.get()) {
        // Bounds must be up to date to be culled by, and the frustum must
        // be the one of this window's size.
        database->clean();
        viewer_.setWindowSize(info);
        RenderAccumulator& frame = accumulator();
        walk.setAccumulator(&frame);
        walk.traverse(viewer_);
        database->accumulate(walk);
        addToFrame(frame, info);
        frame.render(info);
    }
    drawFrameRate(info, 10, 10);
    pellium::checkGLError(-1);
}

void KessaWindow::makeDefaultScene() {
    scene_ = orvel::counted_ptr<Database>(new Database);
    orvel::counted_ptr<Material> grey(new Material(pellium::Color{1, 1, 1, 1}));
    grey->setName("Grey");
    grey->setLighting(true);
    orvel::counted_ptr<Object> teapot = makeTeapot(8, grey);
    scene_->addObject(teapot);
    viewer_.frameBounds(scene_->bounds());
    if (viewer_.perspective()) {
        // Turned a quarter about the vertical: the spout points right.
        Matrix view, camera;
        view.setRotation(90, Vector(0, 0, 1));
        view.multiply(view, viewer_.viewMatrix());
        viewer_.setCameraMatrix(view.invert(camera));
    }
}

bool KessaWindow::wantsEvent(const pellium::Event& event) {
    handleEvent(event);
    return true;
}

void KessaWindow::handleKey(const pellium::Event& event) { handleEvent(event); }

void KessaWindow::handleEvent(const pellium::Event& event) {
    std::unique_ptr<Twiddler>& twiddler = internals_->twiddler;
    if (twiddler) {
        if (!twiddler->handleEvent(event))
            endTwiddler();
    } else if (startTwiddler(event)) {
        Stopwatch::tick();
        Stopwatch::tick();
        setKeyboardFocus(this, this);
        pellium::Updatable::startUpdates(internals_.get());
    }
    invalidate();
}

bool KessaWindow::startTwiddler(const pellium::Event& event) {
    if (!scene_)
        return false;
    std::unique_ptr<Twiddler>& twiddler = internals_->twiddler;
    switch (event.type) {
    case pellium::EventType::MiddleDown:
        if (!viewer_.perspective())
            return false;
        startFrameRate();
        twiddler.reset(new MouseFly(*this, event, viewer_));
        return true;
    case pellium::EventType::RightDown:
        pick(event.x, event.y);
        twiddler.reset(new MouseTwiddler(*this, event, viewer_, internals_->pickPoint));
        return true;
    case pellium::EventType::Wheel:
        pick(event.x, event.y);
        twiddler.reset(new WheelMouseZoomer(*this, event, viewer_, internals_->pickPoint));
        return true;
    default:
        return false;
    }
}

void KessaWindow::pick(int x, int y) {
    static auto* tracer = new RayTracer;
    const PickRay through = viewer_.pickRay(x, y);
    Ray ray;
    ray.setOrigin(through.start);
    ray.aimAt(through.end);
    // The tracer walks the bounds, which must be up to date.
    scene_->clean();
    if (tracer->traceDatabase(ray, *scene_))
        internals_->pickPoint = ray.pointAt(tracer->hitLength());
}

void KessaWindow::endTwiddler() {
    if (getKeyboardFocus() == this)
        setKeyboardFocus(this, nullptr);
    pellium::Updatable::stopUpdates(internals_.get());
    internals_->twiddler.reset();
}

bool KessaWindowInternals::update() {
    Stopwatch::tick();
    if (twiddler && !twiddler->idle()) {
        window.endTwiddler();
        window.stopFrameRate();
    }
    window.invalidate();
    return true;
}

}  // namespace kessa

