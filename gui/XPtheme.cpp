#include "XPtheme.h"

#include "base/Library.h"
#include "gui/Component.h"
#include "gui/Graphics.h"
#include "gui/gdiGraphics.h"
#include "gui/gl/Font.h"

namespace pellium {

namespace {

namespace K = WidgetKind;
namespace S = WidgetState;

const wchar_t* const classNames[XPtheme::classCount] = {L"BUTTON", L"EDIT",      L"TASKBAR", L"TOOLBAR",
                                                        L"MENU",   L"SCROLLBAR", L"TAB",     L"TRACKBAR"};

// The text colour property of a theme part.
constexpr int textColourProperty = 3803;

// What tells apart the variants of a kind: the direction and orientation
// bits of scroll and slider parts, and the tick or selection of marks and tabs.
constexpr int directions = S::up | S::down | S::left | S::right | S::vertical | S::horizontal;
constexpr int ticked = directions | S::focused;

// The theme state of a widget state: normal, hot, pressed or disabled. Hot
// and pressed compare the whole state word but for the variant bits: a
// default button, which carries its bit beside them, always draws as normal,
// and so does a push button holding the focus.
int pick(int state, int normal, int hot, int pressed, int disabled, int variantBits = directions) {
    if (state & S::disabled)
        return disabled;
    const int word = state & ~variantBits;
    return word == S::hot ? hot : word == S::pressed ? pressed : normal;
}

bool vertical(int state) { return (state & (S::vertical | S::up | S::down)) != 0 && !(state & S::horizontal); }

// The first step of a scroll arrow's four states: up, down, left, right.
int arrowBase(int state) {
    if (state & S::up)
        return 1;
    if (state & S::down)
        return 5;
    if (state & S::left)
        return 9;
    return 13;
}

}  // namespace

XPtheme::XPtheme() : library_(new orvel::Library("uxtheme.dll")) {
    functions_.openThemeData = reinterpret_cast<ThemeFunctions::Open>(library_->symbol("OpenThemeData"));
    functions_.closeThemeData = reinterpret_cast<ThemeFunctions::Close>(library_->symbol("CloseThemeData"));
    functions_.drawThemeBackground =
        reinterpret_cast<ThemeFunctions::DrawBackground>(library_->symbol("DrawThemeBackground"));
    functions_.getThemePartSize = reinterpret_cast<ThemeFunctions::PartSize>(library_->symbol("GetThemePartSize"));
    functions_.getThemeColor = reinterpret_cast<ThemeFunctions::Colour>(library_->symbol("GetThemeColor"));
    openClasses();
}

XPtheme::XPtheme(const ThemeFunctions& functions) : functions_(functions) { openClasses(); }

void XPtheme::openClasses() {
    available_ = functions_.complete();
    if (!available_)
        return;
    for (int c = 0; c < classCount; ++c)
        themes_[c] = functions_.openThemeData(nullptr, classNames[c]);
}

XPtheme::~XPtheme() {
    if (!available_)
        return;
    for (ThemeHandle& theme : themes_)
        if (theme)
            functions_.closeThemeData(theme);
}

XPtheme* XPtheme::instance() {
    static XPtheme theme;
    return &theme;
}

bool XPtheme::isAvailable() { return instance()->available(); }

bool XPtheme::toDevice(Graphics& g, const Rect& r, ThemeRect& device) {
    const gdiGraphics* surface = dynamic_cast<gdiGraphics*>(&g);
    if (!surface)
        return false;
    device.left = r.x;
    device.top = surface->surfaceHeight() - r.y - r.height;
    device.right = r.x + r.width;
    device.bottom = device.top + r.height;
    return true;
}

bool XPtheme::drawPart(Graphics& g, ThemeClass c, int part, int state, const Rect& r) {
    ThemeRect device;
    return toDevice(g, r, device) && drawPart(g, c, part, state, device);
}

bool XPtheme::drawPart(Graphics& g, ThemeClass c, int part, int state, const ThemeRect& device) {
    ThemeRect clip;
    if (!themed(c) || !toDevice(g, g.currentClip(), clip))
        return false;
    return functions_.drawThemeBackground(themes_[c], &g, part, state, &device, &clip) >= 0;
}

bool XPtheme::partSize(ThemeClass c, int part, int state, ThemeSize& size) {
    // Measured on the screen, not on any window's surface.
    return themed(c) && functions_.getThemePartSize(themes_[c], nullptr, part, state, nullptr,
                                                    ThemeFunctions::drawingSize, &size) >= 0;
}

const ThemeSize& XPtheme::thumbSize(bool upright) {
    ThemeSize& cache = upright ? verticalThumb_ : horizontalThumb_;
    if (cache.width < 0 && !partSize(trackbar, upright ? 8 : 4, 1, cache))
        cache = upright ? ThemeSize{21, 11} : ThemeSize{11, 21};
    return cache;
}

void XPtheme::getMetrics(GuiMetrics& m, int kind, int state, Component* c) {
    GuiRenderer::getMetrics(m, kind, state, c);
    if (!available_)
        return;
    ThemeSize size;
    switch (kind) {
    case K::checkBox:
        if (checkMark_ < 0)
            checkMark_ = partSize(button, 3, 5, size) ? size.width : 13;
        m = GuiMetrics();
        markMetrics(m, c, checkMark_);
        break;
    case K::radioButton:
        if (radioMark_ < 0)
            radioMark_ = partSize(button, 2, 5, size) ? size.width + 1 : 13;
        m = GuiMetrics();
        markMetrics(m, c, radioMark_);
        break;
    case K::tabPanel:
        m.insetLeft = m.insetTop = 2;
        m.insetRight = m.insetBottom = 4;
        break;
    case K::tab: {
        const Font* f = c ? c->getFont().get() : nullptr;
        if (!f)
            break;
        const int space = f->charWidth(' ');
        const Rect& b = c->getBounds();
        m.width -= 2 * space;
        m.labelX -= space;
        m.height = 2 * f->height() - f->descent() - ((state & S::focused) ? 0 : f->descent());
        m.labelY = b.y + (m.height - f->height()) / 2;
        if (m.imageY != -1)
            m.imageY = b.y + (m.height - c->getImage().height()) / 2;
        break;
    }
    case K::sliderThumb: {
        if (!(state & (S::horizontal | S::vertical)))
            break;
        const ThemeSize& t = thumbSize((state & S::vertical) != 0);
        m.width = t.width;
        m.height = t.height;
        break;
    }
    default:
        break;
    }
}

void XPtheme::drawBackground(Graphics& g, int kind, int state, const Rect& r) {
    if (!available_ || !themedBackground(g, kind, state, r))
        GuiRenderer::drawBackground(g, kind, state, r);
}

bool XPtheme::themedBackground(Graphics& g, int kind, int state, const Rect& r) {
    switch (kind) {
    case K::pushButton: {
        int s = pick(state, 1, 2, 3, 4);
        if (state & S::defaultButton)
            s |= 5;
        if (!drawPart(g, button, 1, s, r))
            return false;
        if (state & S::focused)
            g.drawFocusRect(r.grow(-4));
        return true;
    }
    case K::textField:
    case K::comboField:
        return drawPart(g, edit, 1, (state & S::disabled) ? 4 : (state & S::hot) ? 2 : 1, r);
    case K::panel:
    case K::themedToolBar:
        return drawPart(g, toolbar, 0, 0, r);
    case K::flatButton:
        return drawPart(g, toolbar, 1, pick(state, 1, 2, 3, 1), r);
    case K::menuBarEntry:
        if (!(state & S::hot))
            return drawPart(g, toolbar, 0, 0, r);
        g.setColor(GuiColor::selection);
        g.fillRect(r);
        return true;
    case K::popupMenu:
        g.setColor(GuiColor::menu);
        g.fillRect(r);
        g.setColor(GuiColor::shadow);
        g.drawRect(r);
        return true;
    case K::scrollTrack:
        return drawPart(g, scrollbar, vertical(state) ? 6 : 4, (state & S::disabled) ? 4 : 1, r);
    case K::scrollArrow:
        return drawPart(g, scrollbar, 1, arrowBase(state) + pick(state, 0, 1, 2, 3), r);
    case K::scrollThumb: {
        const bool upright = vertical(state);
        const int s = pick(state, 1, 2, 3, 4);
        return drawPart(g, scrollbar, upright ? 3 : 2, s, r) && drawPart(g, scrollbar, upright ? 9 : 8, s, r);
    }
    case K::comboButton:
        return drawPart(g, scrollbar, 1, pick(state, 5, 6, 7, 8), r);
    case K::tabPanel:
        return drawPart(g, tab, 9, 0, r);
    case K::tab: {
        ThemeRect device;
        if (!toDevice(g, r, device))
            return false;
        int s = pick(state, 1, 2, 3, 4, ticked);
        if (!(state & S::disabled) && (state & S::focused)) {
            // The selected tab reaches down over the panel's edge.
            s = 3;
            device.bottom += 2;
        }
        return drawPart(g, tab, 5, s, device);
    }
    case K::sliderTrack: {
        const bool upright = (state & S::vertical) != 0;
        const ThemeSize& t = thumbSize(upright);
        const Rect groove = upright ? Rect{r.x + r.width / 2 - 1, r.y + t.height / 2, 4, r.height - t.height}
                                    : Rect{r.x + t.width / 2, r.y + r.height / 2 - 1, r.width - t.width, 4};
        if (!drawPart(g, trackbar, upright ? 2 : 1, 1, groove))
            return false;
        if (state & (S::defaultButton | S::focused)) {
            g.setColor(GuiColor::dark_shadow_lit);
            g.drawFocusRect(r);
        }
        return true;
    }
    default:
        return false;
    }
}

void XPtheme::drawForeground(Graphics& g, int kind, int state, Component* c) {
    if (!c || !available_ || !themedForeground(g, kind, state, c))
        GuiRenderer::drawForeground(g, kind, state, c);
}

bool XPtheme::themedForeground(Graphics& g, int kind, int state, Component* c) {
    GuiMetrics m;
    getMetrics(m, kind, state, c);
    switch (kind) {
    case K::checkBox:
    case K::radioButton: {
        const int s = pick(state, 1, 2, 3, 4, ticked) + ((state & S::focused) ? 4 : 0);
        if (!drawPart(g, button, kind == K::checkBox ? 3 : 2, s, Rect{m.imageX, m.imageY, m.extra, m.extra}))
            return false;
        drawLabel(g, m, c, GuiColor::button_text);
        drawLabelFocus(g, m, c);
        return true;
    }
    case K::sliderThumb:
        return drawPart(g, trackbar, (state & S::vertical) ? 6 : 3, pick(state, 1, 2, 3, 5), c->getBounds());
    case K::groupBox: {
        if (!toDevice(g, c->getBounds(), device_))
            return false;
        device_.top += m.extra;
        if (!drawGroupBoxFrame(g, m, c, this))
            return false;
        if (!groupBoxColourRead_) {
            groupBoxColourRead_ = true;
            groupBoxColourFound_ =
                themed(button) && functions_.getThemeColor(themes_[button], 4, 1, textColourProperty, &groupBoxColour_) >= 0;
        }
        if (state & S::disabled)
            g.setColor(GuiColor::gray_text);
        else if (groupBoxColourFound_)
            g.setRGBColor(groupBoxColour_ & 0xFFFFFFu);
        else
            g.setColor(GuiColor::button_text);
        g.drawString(c->getLabel(), c->getFont().get(), m.labelX, m.labelY);
        return true;
    }
    default:
        return false;
    }
}

bool XPtheme::draw(Graphics& g, const GuiMetrics&, Component*) { return drawPart(g, button, 4, 1, device_); }

}  // namespace pellium
