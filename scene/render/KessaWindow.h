// The OpenGL window that shows a scene database through a viewer, lit by a
// light that moves with the camera. Mouse presses and the wheel make camera
// controllers that run until the buttons are let go: a right drag tumbles,
// rolls, zooms and pans, a middle press flies, the wheel zooms. With no
// scene given it shows a default one: the teapot.
#pragma once

#include <memory>

#include "base/counted_ptr.h"
#include "gui/gl/GLwindow.h"
#include "scene/Vector.h"
#include "scene/render/Light.h"
#include "scene/render/Viewer.h"

namespace kessa {

class Database;
class KessaWindowInternals;
class RenderAccumulator;
class Twiddler;

class KessaWindow : public pellium::GLwindow {
public:
    // Named "kessa"; with openNow it opens at once as a subwindow.
    explicit KessaWindow(bool openNow = false);
    ~KessaWindow() override;

    // The scene holder; when it holds no database, the default scene is
    // made first.
    virtual orvel::counted_ptr<Database>& scene();
    void setScene(const orvel::counted_ptr<Database>& database) { scene_ = database; }
    virtual Viewer& viewer() { return viewer_; }
    Light& light() { return light_; }

    // Clears to black, lights the scene with GL light 0 and draws the
    // database through the process's culling walk and render accumulator,
    // then the frame rate while it is measured.
    void render(pellium::GLRenderInfo& info) override;
    // A living controller takes every event until it is done; otherwise a
    // middle press (in perspective), a right press or the wheel may start one.
    void handleEvent(const pellium::Event& event) override;
    // The wheel and keys take the same way.
    bool wantsEvent(const pellium::Event& event) override;
    void handleKey(const pellium::Event& event) override;

    // The controller at work, or null.
    Twiddler* twiddler() const;
    // The last point picked in the scene, in the world.
    const Vector& pickPoint() const;

    // The render accumulator every view window draws through.
    static RenderAccumulator& accumulator();

protected:
    // Called after the scene is walked and before the frame is drawn: a
    // window adds its sky, particles and the like here.
    virtual void addToFrame(RenderAccumulator& accumulator, pellium::GLRenderInfo& info);

private:
    friend class KessaWindowInternals;
    void makeDefaultScene();
    bool startTwiddler(const pellium::Event& event);
    // The point of the scene under the pixel becomes the pick point; it
    // stays as it was when the ray meets nothing.
    void pick(int x, int y);
    void endTwiddler();

    Light light_;
    Viewer viewer_;
    std::unique_ptr<KessaWindowInternals> internals_;
    orvel::counted_ptr<Database> scene_;
};

}  // namespace kessa
