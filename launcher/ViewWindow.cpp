#include "launcher/ViewWindow.h"

#include <cstring>

#include "base/Debug.h"
#include "gui/Application.h"
#include "gui/Event.h"
#include "gui/gl/GLcaps.h"
#include "gui/gl/VideoSwitches.h"
#include "scene/LodBranch.h"
#include "scene/render/Sky.h"

namespace game_launcher {

ViewWindow::ViewWindow() {
    setTitle("Kalvora");
    setSize(800, 600);
    scene();
}

ViewWindow::~ViewWindow() = default;

void ViewWindow::setSky(std::unique_ptr<kessa::Sky> sky) { sky_ = std::move(sky); }

std::unique_ptr<kessa::Sky> ViewWindow::defaultSky() {
    const float elevations[] = {0, 30, -1};
    std::unique_ptr<kessa::Sky> sky(
        new kessa::Sky(32, elevations, kessa::Sky::defaultBandColours, kessa::Sky::defaultGroundColour));
    sky->makeStars(500, true);
    sky->setStarsVisible(true);
    sky->setSunVisible(true);
    return sky;
}

void ViewWindow::show() {
    open();
    // Keys reach the window from the start.
    setKeyboardFocus(this, this);
    repaintDirtyWindows();
}

void ViewWindow::run() {
    show();
    pellium::runEventLoop(this);
}

void ViewWindow::initGL() {
    const pellium::GLcaps& caps = pellium::getGLSniffer();
    if (pellium::fullGLacceleration && std::strstr(caps.renderer.c_str(), "TNT")) {
        orvel::debug("fullGLacceleration set to false\n");
        pellium::fullGLacceleration = false;
    }
}

void ViewWindow::handleEvent(const pellium::Event& event) {
    if (event.type == pellium::EventType::Key && event.code == fadeKey)
        kessa::LodBranch::setFading(!kessa::LodBranch::fading());
    KessaWindow::handleEvent(event);
    // A finished controller lets the keyboard go; this window keeps it.
    if (!twiddler() && isOpen())
        setKeyboardFocus(this, this);
}

void ViewWindow::addToFrame(kessa::RenderAccumulator& accumulator, pellium::GLRenderInfo&) {
    // The accumulator forgets its sky with every frame.
    if (sky_)
        accumulator.setSkyRenderer(this);
}

void ViewWindow::renderSky(pellium::GLRenderInfo& context, kessa::Viewer& viewer) {
    sky_->render(context, viewer, skyRadius);
}

void ViewWindow::idle() { pellium::idleSleep(); }

}  // namespace game_launcher
