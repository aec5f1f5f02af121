// How every standard widget is drawn and how big it wants to be, in the
// style of the classic 3D controls. A component reports a widget kind and a
// state word (Component::getRenderInfo); its drawing asks the renderer for
// the kind's metrics and then to paint the background and the foreground.
// Every colour is a widget colour, so the look follows the colour scheme.
#pragma once

#include <map>
#include <vector>

#include "base/counted_ptr.h"
#include "gui/GuiColor.h"
#include "gui/Rect.h"
#include "gui/gl/Image.h"

namespace pellium {

class Component;
class Font;
class Graphics;

// Filled by getMetrics; a field the kind does not set stays -1. Positions
// are window coordinates; label y is the baseline.
struct GuiMetrics {
    int width = -1, height = -1;
    int labelX = -1, labelY = -1;
    int imageX = -1, imageY = -1;  // the image, or the mark of a check box or radio button
    int insetLeft = -1, insetRight = -1, insetTop = -1, insetBottom = -1;
    // The mark's size for check boxes and radio buttons; half the label's
    // height for group boxes.
    int extra = -1;
};

namespace WidgetKind {
enum : int {
    pushButton = 1,
    checkBox = 2,
    radioButton = 3,
    textField = 10,
    panel = 20,
    flatButton = 21,
    themedToolBar = 30,
    menuBarEntry = 31,
    menuItem = 32,
    popupMenu = 34,
    scrollTrack = 40,
    scrollArrow = 41,
    scrollThumb = 42,
    comboField = 50,
    comboButton = 51,
    tabPanel = 60,
    tab = 61,
    sliderTrack = 70,
    sliderThumb = 71,
    groupBox = 80
};
}

namespace WidgetState {
enum : int {
    hot = 1,
    pressed = 2,
    disabled = 4,
    focused = 0x100,  // ticked, selected, or the selected tab, by kind
    defaultButton = 0x200,
    up = 0x10000,
    down = 0x20000,
    left = 0x40800,  // test with (state & left): two bits, as the scroll bars report it
    right = 0x80000,
    vertical = 0x100000,
    horizontal = 0x200000
};
}

namespace GuiRendererInternals {
class GroupBoxBackgroundRenderer;
}

class GuiRenderer {
public:
    // The renderer every widget is drawn with: the theme renderer while the
    // visual-styles switch is on and the system's theme functions were found
    // (XPtheme.h), else the default one, made on first use.
    static GuiRenderer* instance();
    // The visual-styles switch; off at start, and nothing in the program turns it on.
    static void setVisualStyles(bool on);
    static bool visualStyles();

    GuiRenderer();
    virtual ~GuiRenderer();
    GuiRenderer(const GuiRenderer&) = delete;
    GuiRenderer& operator=(const GuiRenderer&) = delete;

    virtual void getMetrics(GuiMetrics& metrics, int kind, int state, Component* component);
    virtual void drawBackground(Graphics& g, int kind, int state, const Rect& r);
    // The kind's label, picture and marks, where getMetrics puts them.
    virtual void drawForeground(Graphics& g, int kind, int state, Component* component);
    virtual void drawFocus(Graphics& g, const Rect& r);
    // How far, in pixels, the pointer may leave a scroll bar sideways while
    // dragging its thumb before the thumb jumps back.
    virtual int thumbDragTolerance() { return 50; }
    // The renderer's one question without arguments; both renderers answer
    // true, and nothing in the toolkit asks it yet.
    virtual bool query() { return true; }
    // The label at the metrics' place in a colour, its shortcut letter
    // underlined, without the etched look of a disabled label.
    virtual void drawLabel(Graphics& g, const GuiMetrics& metrics, Component* component, GuiColor::gui_color color);

    // The arrow of the first direction bit of a state (up, down, left,
    // right): black at alpha 160 on see-through; empty for no direction.
    const Image& arrow(int state);
    // The six pictures of a radio button's mark of a size: enabled
    // (0 clear, 1 selected), pressed (2, 3), disabled (4, 5).
    const Image& radioImage(int size, int which);

    // The font of menus, shared by every menu item.
    static orvel::counted_ptr<Font> menuFont();

    // The scroll-bar arrow buttons' size: the classic system metrics.
    static constexpr int scrollArrowSize = 16;

protected:
    // The focus outline one pixel round the label, when the component has
    // the keyboard focus: check boxes, radio buttons and tabs, whose state
    // word has no focus bit of its own.
    void drawLabelFocus(Graphics& g, const GuiMetrics& m, Component* c);
    // The check-box and radio-button rule for a mark of size k.
    static void markMetrics(GuiMetrics& m, Component* c, int k);
    // The group-box frame in three clipped passes by the painter; false when
    // the painter stopped them.
    static bool drawGroupBoxFrame(Graphics& g, const GuiMetrics& m, Component* c,
                                  GuiRendererInternals::GroupBoxBackgroundRenderer* painter);

private:
    void label(Graphics& g, const GuiMetrics& m, Component* c, GuiColor::gui_color color, bool etched);
    void drawTab(Graphics& g, int state, const Rect& r);
    void drawTick(Graphics& g, const GuiMetrics& m, bool enabled);

    Image arrows_[4];
    struct RadioSet {
        std::vector<std::uint32_t> colours;  // the scheme they were made in
        Image images[6];
    };
    std::map<int, RadioSet> radios_;
};

namespace GuiRendererInternals {

// Paints the frame of a group box, in the three clipped passes of its
// drawing; false stops the passes that remain.
class GroupBoxBackgroundRenderer {
public:
    virtual ~GroupBoxBackgroundRenderer() = default;
    virtual bool draw(Graphics& g, const GuiMetrics& metrics, Component* component);
};

GroupBoxBackgroundRenderer* groupBoxBackgroundRenderer();
// Null puts the default painter back; the caller keeps ownership.
void setGroupBoxBackgroundRenderer(GroupBoxBackgroundRenderer* painter);

}  // namespace GuiRendererInternals

}  // namespace pellium
