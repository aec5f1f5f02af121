// The widget renderer that paints with the system's visual styles, so that
// buttons, fields, scroll bars, tabs and sliders match the desktop theme. It
// measures and paints the kinds it knows through the theme functions
// (ThemeFunctions.h) and leaves every other kind, a theme class that would
// not open and a theme call that fails to the default renderer. On Linux the
// functions are never found: the renderer reports itself unavailable and
// GuiRenderer::instance() gives the default renderer.
#pragma once

#include <memory>

#include "gui/GuiRenderer.h"
#include "gui/ThemeFunctions.h"

namespace orvel {
class Library;
}

namespace pellium {

class XPtheme : public GuiRenderer, public GuiRendererInternals::GroupBoxBackgroundRenderer {
public:
    enum ThemeClass { button, edit, taskbar, toolbar, menu, scrollbar, tab, trackbar, classCount };

    // Loads "uxtheme.dll" and its five functions, and opens the theme classes.
    XPtheme();
    // Draws with the functions given instead of the library's.
    explicit XPtheme(const ThemeFunctions& functions);
    ~XPtheme() override;

    // The process-wide renderer, made on first use; it lives until exit.
    static XPtheme* instance();
    // Whether the process-wide renderer found every function.
    static bool isAvailable();
    bool available() const { return available_; }

    void getMetrics(GuiMetrics& metrics, int kind, int state, Component* component) override;
    void drawBackground(Graphics& g, int kind, int state, const Rect& r) override;
    void drawForeground(Graphics& g, int kind, int state, Component* component) override;
    // The group box's frame: the themed frame part into the current device
    // rectangle; false when it could not be drawn.
    bool draw(Graphics& g, const GuiMetrics& metrics, Component* component) override;

private:
    void openClasses();
    bool themed(ThemeClass c) const { return available_ && themes_[c]; }
    // The part into the rectangle (window coordinates), within the clip.
    bool drawPart(Graphics& g, ThemeClass c, int part, int state, const Rect& r);
    bool drawPart(Graphics& g, ThemeClass c, int part, int state, const ThemeRect& device);
    // r in device rows of the window g draws on; false when g is no window's surface.
    static bool toDevice(Graphics& g, const Rect& r, ThemeRect& device);
    // A part's size as drawn; false when it cannot be read.
    bool partSize(ThemeClass c, int part, int state, ThemeSize& size);
    // The slider thumb's size, measured once.
    const ThemeSize& thumbSize(bool vertical);
    // False when a theme call failed and the default renderer must draw.
    bool themedBackground(Graphics& g, int kind, int state, const Rect& r);
    bool themedForeground(Graphics& g, int kind, int state, Component* component);

    std::unique_ptr<orvel::Library> library_;
    ThemeFunctions functions_;
    bool available_ = false;
    ThemeHandle themes_[classCount] = {};
    ThemeRect device_;  // the group box being drawn
    int checkMark_ = -1, radioMark_ = -1;
    ThemeSize horizontalThumb_{-1, -1}, verticalThumb_{-1, -1};
    bool groupBoxColourRead_ = false, groupBoxColourFound_ = false;
    std::uint32_t groupBoxColour_ = 0;
};

}  // namespace pellium
