// A toolkit window drawn with OpenGL. Painting binds the process's one render
// context to the window, sets the viewport, lets the client (the window
// itself) render and swaps the buffers.
#pragma once

#include <vector>

#include "gui/Window.h"
#include "gui/gl/FrameRateMeter.h"
#include "gui/gl/GLclient.h"

namespace pellium {

class GLwindow : public Window, public GLclient {
public:
    // With openNow the window opens at once as a 100 × 100 subwindow at
    // (10, 10) of its parent.
    explicit GLwindow(bool openNow = false, Window* parent = nullptr);
    ~GLwindow() override;

    // Binds the shared context (making it first when there is none) to this
    // window for the client; false while the window is not open or the bind
    // fails. The default GL font is made first, before any context.
    bool makeCurrent(GLclient* client);
    // Draws a frame when the client area is larger than 0 and smaller than
    // 10000 pixels both ways.
    void paintGL() override;

    void startFrameRate() { meter_.start(); }
    void stopFrameRate() { meter_.stop(); }
    // Call once a frame: frames per second over the last 32, 0 until then or while off.
    double frameRate();
    // Takes the frame's sample and writes the rate in white with the default
    // GL font at (x, y) of the pixel projection, while it is above 0 and
    // below 100000.
    void drawFrameRate(const GLRenderInfo& info, int x, int y);

    // Every GL window in creation order.
    static const std::vector<GLwindow*>& glWindows();

private:
    FrameRateMeter meter_;
};

}  // namespace pellium
