#include "GuiRenderer.h"

#include <algorithm>

#include "gui/Component.h"
#include "gui/Graphics.h"
#include "gui/MenuItem.h"
#include "gui/XPtheme.h"
#include "gui/gl/Font.h"
#include "gui/gl/FontCache.h"

namespace pellium {

namespace {

using G = GuiColor;
namespace K = WidgetKind;
namespace S = WidgetState;

// What the metrics rules read of a font; zeros without one.
struct FontFacts {
    int height = 0, ascent = 0, descent = 0, average = 0, m = 0, space = 0;
};

FontFacts factsOf(const Font* f) {
    FontFacts facts;
    if (f) {
        facts = {f->height(), f->ascent(), f->descent(), f->averageWidth(), f->charWidth('m'), f->charWidth(' ')};
    }
    return facts;
}

std::uint32_t imagePixel(G::gui_color color) {
    std::uint32_t c = GuiColor(color).toRGB();
    return 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

void buttonMetrics(GuiMetrics& m, Component* c, const FontFacts& f) {
    const Rect& b = c->getBounds();
    const Image& image = c->getImage();
    const bool hasLabel = !c->getLabel().empty(), hasImage = !image.empty();
    const int tw = c->getTextWidth(), evenAscent = f.ascent & ~1;
    if (hasLabel && !hasImage) {
        m.width = tw + 2 * f.m + 6;
        m.height = f.height + evenAscent + 6;
        m.labelX = b.x + f.m + 3;
        m.labelY = b.y + f.ascent / 2 + 3;
    } else if (hasLabel) {
        const int iw = image.width(), ih = image.height(), h2 = f.space / 2;
        m.width = tw + 2 * (h2 + f.m) + 6 + iw;
        m.height = std::max(f.height + evenAscent, ih + 2 * h2) + 6;
        m.imageX = b.x + 3 * h2 + 3;
        m.imageY = b.y + (m.height - ih) / 2;
        m.labelX = m.imageX + iw + f.m - h2;
        m.labelY = b.y + (m.height - f.height) / 2;
    } else if (hasImage) {
        m.width = image.width() + 6;
        m.height = image.height() + 6;
        m.imageX = b.x + 3;
        m.imageY = b.y + 3;
    } else {
        m.width = m.height = 6;
    }
}

// The first direction of a state word: 0 up, 1 down, 2 left, 3 right, -1 none.
int directionOf(int state) {
    if (state & S::up)
        return 0;
    if (state & S::down)
        return 1;
    if (state & S::left)
        return 2;
    if (state & S::right)
        return 3;
    return -1;
}

GuiRendererInternals::GroupBoxBackgroundRenderer*& groupBoxPainter() {
    static GuiRendererInternals::GroupBoxBackgroundRenderer* painter = nullptr;
    return painter;
}

}  // namespace

namespace {
bool visualStylesOn = false;
}

GuiRenderer* GuiRenderer::instance() {
    if (visualStylesOn && XPtheme::isAvailable())
        return XPtheme::instance();
    static GuiRenderer renderer;
    return &renderer;
}

void GuiRenderer::setVisualStyles(bool on) { visualStylesOn = on; }
bool GuiRenderer::visualStyles() { return visualStylesOn; }

GuiRenderer::GuiRenderer() = default;
GuiRenderer::~GuiRenderer() = default;

orvel::counted_ptr<Font> GuiRenderer::menuFont() { return FontCache::get(FontKey(FontKey::menuFace, 0, 0)); }

void GuiRenderer::getMetrics(GuiMetrics& m, int kind, int state, Component* c) {
    m = GuiMetrics();
    const FontFacts f = factsOf(c ? c->getFont().get() : nullptr);
    const Rect b = c ? c->getBounds() : Rect{};
    const int tw = c ? c->getTextWidth() : 0;
    switch (kind) {
    case K::pushButton:
    case K::flatButton:
        buttonMetrics(m, c, f);
        break;
    case K::tab:
        buttonMetrics(m, c, f);
        if (!(state & S::focused))
            m.height -= 3;
        break;
    case K::checkBox:
    case K::radioButton:
        markMetrics(m, c, f.ascent + 4);
        break;
    case K::menuBarEntry:
        m.width = tw + 2 * f.m;
        m.height = f.height + 4 * f.descent;
        m.labelX = b.x + f.m;
        m.labelY = b.y + (m.height - f.ascent) / 2;
        break;
    case K::menuItem: {
        const Image& image = c->getImage();
        m.width = tw + 42;
        m.height = f.height + 4 * f.descent;
        m.imageX = b.x + 2 + (16 - image.width()) / 2;
        m.imageY = b.y + (m.height - image.height()) / 2;
        m.labelX = b.x + 24;
        m.labelY = b.y + (m.height - f.height) / 2;
        break;
    }
    case K::scrollArrow:
    case K::scrollTrack:
    case K::scrollThumb: {
        int direction = directionOf(state);
        if (kind != K::scrollArrow && (state & S::vertical))
            direction = 0;
        else if (kind != K::scrollArrow && (state & S::horizontal))
            direction = 2;
        if (direction < 0)
            break;
        m.width = m.height = scrollArrowSize;
        if (kind != K::scrollArrow) {
            if (direction < 2)
                m.height *= 3;
            else
                m.width *= 3;
        }
        break;
    }
    case K::tabPanel:
        m.insetLeft = m.insetRight = m.insetTop = m.insetBottom = 2;
        break;
    case K::sliderThumb:
        if (state & S::horizontal) {
            m.width = 10;
            m.height = 20;
        } else if (state & S::vertical) {
            m.width = 20;
            m.height = 10;
        }
        break;
    case K::groupBox:
        m.insetLeft = m.insetRight = m.insetBottom = f.average;
        m.insetTop = f.average + f.height;
        m.labelX = b.x + f.average + 2;
        m.labelY = b.y + b.height - f.height;
        m.extra = f.height / 2;
        break;
    default:
        break;
    }
}

void GuiRenderer::markMetrics(GuiMetrics& m, Component* c, int k) {
    const FontFacts f = factsOf(c ? c->getFont().get() : nullptr);
    const Rect b = c ? c->getBounds() : Rect{};
    const int tw = c ? c->getTextWidth() : 0;
    m.width = tw + k + (tw >= 1 ? 2 * f.space : 0);
    m.height = k + 4;
    m.labelX = b.x + f.space + k;
    m.labelY = b.y + 3;
    m.imageX = b.x;
    m.imageY = b.y + 2;
    m.extra = k;
}

void GuiRenderer::drawBackground(Graphics& g, int kind, int state, const Rect& r) {
    const bool disabled = (state & S::disabled) != 0;
    switch (kind) {
    case K::pushButton:
        g.setColor(G::face);
        g.fillRect(r);
        // The default button's bit may stand beside the pressed one.
        if (state & S::pressed) {
            g.drawSunkenEdge(r, true);
        } else {
            g.drawEtchedRect(r, false);
            g.drawRaisedEdge(r.grow(-2));
        }
        if (state & S::focused)
            g.drawFocusRect(r.grow(-4));
        break;
    case K::textField:
    case K::comboField:
        g.drawWell(r, disabled ? G::face : G::window);
        break;
    case K::panel:
        g.setColor(G::face);
        g.fillRect(r);
        break;
    case K::flatButton:
        g.setColor(G::face);
        g.fillRect(r);
        if (state == S::hot)
            g.drawRaisedEdge(r);
        else if (state == S::pressed)
            g.drawSunkenEdge(r, true);
        break;
    case K::menuBarEntry:
        g.setColor((state & S::hot) && !disabled ? G::selection : G::face);
        g.fillRect(r);
        break;
    case K::menuItem:
        if ((state & S::hot) && !disabled) {
            g.setColor(G::selection);
            g.fillRect(r);
        }
        break;
    case K::popupMenu:
    case K::tabPanel:
        g.setColor(G::face);
        g.fillRect(r);
        g.drawRaisedEdge(r);
        break;
    case K::scrollTrack:
        g.setColor(G::shadow);
        g.fillRect(r);
        break;
    case K::scrollArrow:
        g.setColor(G::face);
        g.fillRect(r);
        if (disabled) {
            g.setColor(G::gray_text);
            g.drawRect(r);
        } else if (state & S::pressed) {
            g.drawSunkenEdge(r, true);
        } else {
            g.drawRaisedButton(r);
        }
        if (disabled)
            g.drawImageDisabledCentered(arrow(state), r);
        else
            g.drawImageCentered(arrow(state), r);
        break;
    case K::scrollThumb:
        g.setColor(G::face);
        g.fillRect(r);
        if (disabled) {
            g.setColor(G::gray_text);
            g.drawRect(r);
        } else {
            g.drawRaisedButton(r);
        }
        break;
    case K::comboButton:
        g.setColor(G::face);
        g.fillRect(r);
        g.drawRaisedButton(r);
        g.drawImageCentered(arrow(S::down), r);
        break;
    case K::tab:
        drawTab(g, state, r);
        break;
    case K::sliderTrack:
        if (state & S::vertical)
            g.drawSunkenEdge({r.x + r.width / 2 - 1, r.y + 5, 4, r.height - 10}, true);
        else
            g.drawSunkenEdge({r.x + 5, r.y + r.height / 2 - 1, r.width - 10, 4}, true);
        if (state & S::focused) {
            g.setColor(G::dark_shadow_lit);
            g.drawFocusRect(r);
        }
        break;
    default:
        break;
    }
}

void GuiRenderer::drawTab(Graphics& g, int state, const Rect& r) {
    const int x0 = r.x, y0 = r.y, w = r.width, h = r.height;
    if (state & S::focused) {
        // The selected tab erases the panel's top edge under it.
        g.setColor(G::face);
        g.drawLine(x0, y0 - 1, x0 + w - 1, y0 - 1);
        g.setColor(G::highlight_dim);
        g.moveTo(x0, y0 - 1);
        g.lineTo(x0, y0 + h - 1);
        g.lineTo(x0 + w - 1, y0 + h - 1);
        g.setColor(G::light);
        g.moveTo(x0 + 1, y0);
        g.lineTo(x0 + 1, y0 + h - 2);
        g.lineTo(x0 + w - 2, y0 + h - 2);
        g.setColor(G::dark_shadow_lit);
        g.drawLine(x0 + w - 1, y0, x0 + w - 1, y0 + h - 2);
        g.setColor(G::shadow);
        g.drawLine(x0 + w - 2, y0, x0 + w - 2, y0 + h - 3);
        g.setColor(G::highlight_dim);
        g.drawLine(x0 + w - 2, y0 - 1, x0 + w, y0 - 1);
        return;
    }
    const bool pressed = (state & S::pressed) != 0;
    const int o = pressed ? 1 : 0;
    g.setColor(pressed ? G::shadow : G::highlight_dim);
    g.moveTo(x0 + o, y0);
    g.lineTo(x0 + o, y0 + h - o - 2);
    g.lineTo(x0 + o + w - 3, y0 + h - o - 2);
    g.setColor(pressed ? G::highlight_dim : G::shadow);
    g.drawLine(x0 + o + w - 2, y0, x0 + o + w - 2, y0 + h - o - 3);
}

void GuiRenderer::drawForeground(Graphics& g, int kind, int state, Component* c) {
    if (!c)
        return;
    GuiMetrics m;
    getMetrics(m, kind, state, c);
    const bool enabled = c->isEnabled();
    auto drawImage = [&] {
        if (enabled)
            g.drawImage(c->getImage(), m.imageX, m.imageY);
        else
            g.drawImageDisabled(c->getImage(), m.imageX, m.imageY);
    };
    switch (kind) {
    case K::pushButton:
    case K::flatButton:
        drawImage();
        label(g, m, c, G::button_text, true);
        break;
    case K::tab:
        drawImage();
        label(g, m, c, G::button_text, true);
        drawLabelFocus(g, m, c);
        break;
    case K::checkBox: {
        const int k = m.extra;
        g.drawWell({m.imageX, m.imageY, k, k}, (state & S::pressed) ? G::face : enabled ? G::window : G::face);
        if (state & S::focused)
            drawTick(g, m, enabled);
        label(g, m, c, G::button_text, true);
        drawLabelFocus(g, m, c);
        break;
    }
    case K::radioButton: {
        const bool selected = (state & S::focused) != 0;
        const int set = (state & S::disabled) || !enabled ? 4 : (state & S::pressed) ? 2 : 0;
        g.drawImage(radioImage(m.extra, set + (selected ? 1 : 0)), m.imageX, m.imageY);
        label(g, m, c, G::button_text, true);
        drawLabelFocus(g, m, c);
        break;
    }
    case K::menuBarEntry:
        label(g, m, c, (state & S::hot) ? G::selection_text : G::menu_text, true);
        break;
    case K::menuItem: {
        label(g, m, c, (state & S::hot) ? G::selection_text : G::menu_text, true);
        drawImage();
        const auto* item = dynamic_cast<const MenuItem*>(c);
        if (item && item->getSubmenu()) {
            const Image& right = arrow(S::right);
            const Rect& b = c->getBounds();
            g.drawImage(right, b.x + m.width - right.width() - 2, b.y + (m.height - right.height()) / 2);
        }
        break;
    }
    case K::sliderThumb:
        g.setColor(G::face);
        g.fillRect(c->getBounds());
        if (enabled) {
            g.drawRaisedButton(c->getBounds());
        } else {
            g.setColor(G::gray_text);
            g.drawRect(c->getBounds());
        }
        break;
    case K::groupBox:
        drawGroupBoxFrame(g, m, c, GuiRendererInternals::groupBoxBackgroundRenderer());
        label(g, m, c, G::button_text, true);
        break;
    default:
        break;
    }
}

void GuiRenderer::drawTick(Graphics& g, const GuiMetrics& m, bool enabled) {
    const int size = m.extra, k = (size - 4) / 3, x0 = m.imageX + 2, y0 = m.imageY + 2;
    g.setColor(enabled ? G::black : G::gray_text);
    int v = k;
    for (int i = 1; i <= size - 6; ++i) {
        g.drawLine(x0 + i, y0 + v, x0 + i, y0 + v + k - 1);
        v += i < k ? -1 : 1;
    }
}

void GuiRenderer::drawFocus(Graphics& g, const Rect& r) { g.drawFocusRect(r); }

void GuiRenderer::drawLabelFocus(Graphics& g, const GuiMetrics& m, Component* c) {
    const Font* font = c->getFont().get();
    if (!c->isKeyboardFocus() || c->getLabel().empty() || !font)
        return;
    // The text's rows run from descent - 1 below the baseline to ascent above it.
    const int rows = font->ascent() + font->descent();
    drawFocus(g, {m.labelX - 1, m.labelY - font->descent(), c->getTextWidth() + 2, rows + 2});
}

void GuiRenderer::drawLabel(Graphics& g, const GuiMetrics& m, Component* c, GuiColor::gui_color color) {
    label(g, m, c, color, false);
}

void GuiRenderer::label(Graphics& g, const GuiMetrics& m, Component* c, GuiColor::gui_color color, bool etched) {
    const orvel_string& text = c->getLabel();
    const Font* font = c->getFont().get();
    if (text.empty() || !font)
        return;
    // The shortcut's first occurrence: its left edge and width.
    int underlineX = -1, underlineWidth = 0;
    if (char shortcut = c->getShortcut()) {
        int x = m.labelX;
        for (char ch : text) {
            if (ch == shortcut) {
                underlineX = x;
                underlineWidth = font->charWidth(ch);
                break;
            }
            x += font->charWidth(ch);
        }
    }
    auto draw = [&](int x, int y) {
        g.drawString(text, font, x, y);
        if (underlineX >= 0) {
            const int uy = y - (font->descent() + 1) / 2;
            g.drawLine(underlineX + x - m.labelX, uy, underlineX + x - m.labelX + underlineWidth - 1, uy);
        }
    };
    if (etched && !c->isEnabled()) {
        g.setColor(G::highlight_dim);
        draw(m.labelX + 1, m.labelY - 1);
        color = G::gray_text;
    }
    g.setColor(color);
    draw(m.labelX, m.labelY);
}

bool GuiRenderer::drawGroupBoxFrame(Graphics& g, const GuiMetrics& m, Component* c,
                                    GuiRendererInternals::GroupBoxBackgroundRenderer* painter) {
    const Rect b = c->getBounds();
    const Font* font = c->getFont().get();
    const int tw = c->getTextWidth();
    const int labelBottom = m.labelY - (font ? font->descent() : 0);
    const int gapLeft = m.labelX - 2, gapRight = m.labelX + tw + 2;
    const int top = b.y + b.height;
    const Rect passes[3] = {{b.x, b.y, b.width, labelBottom - b.y},
                            {b.x, labelBottom, gapLeft - b.x, top - labelBottom},
                            {gapRight, labelBottom, b.x + b.width - gapRight, top - labelBottom}};
    for (const Rect& clip : passes) {
        g.pushClip(clip);
        bool more = painter->draw(g, m, c);
        g.popClip();
        if (!more)
            return false;
    }
    return true;
}

const Image& GuiRenderer::arrow(int state) {
    static const Image none;
    const int direction = directionOf(state);
    if (direction < 0)
        return none;
    Image& image = arrows_[direction];
    if (!image.empty())
        return image;
    const bool upright = direction < 2;
    image = Image(upright ? 7 : 4, upright ? 4 : 7);
    // Triangle row j (0 the widest) covers 7 - 2j pixels from j.
    for (int j = 0; j < 4; ++j)
        for (int i = j; i <= 6 - j; ++i) {
            int x = 0, y = 0;
            switch (direction) {
            case 0: x = i, y = j; break;      // up: widest at the bottom
            case 1: x = i, y = 3 - j; break;  // down: widest at the top
            case 2: x = 3 - j, y = i; break;  // left: widest at the right
            default: x = j, y = i; break;     // right: widest at the left
            }
            *image.pixelAt(x, y) = 0xA0000000u;
        }
    return image;
}

const Image& GuiRenderer::radioImage(int size, int which) {
    const G::gui_color used[] = {G::shadow, G::highlight_dim, G::dark_shadow_lit, G::light, G::window,
                                 G::face,   G::black,         G::gray_text};
    std::vector<std::uint32_t> scheme;
    for (G::gui_color c : used)
        scheme.push_back(imagePixel(c));
    RadioSet& set = radios_[size];
    if (set.colours != scheme && size > 0) {
        // Made again when the colour scheme changed since.
        set.colours = scheme;
        const double r = size / 2.0;
        for (int i = 0; i < 6; ++i)
            set.images[i] = Image(size, size);
        const std::uint32_t centre[6] = {imagePixel(G::window), imagePixel(G::black), imagePixel(G::face),
                                         imagePixel(G::black),  imagePixel(G::face),  imagePixel(G::gray_text)};
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const double dx = x + 0.5 - r, dy = y + 0.5 - r, d = dx * dx + dy * dy;
                for (int i = 0; i < 6; ++i) {
                    std::uint32_t p = 0;
                    if (d >= r * r)
                        p = 0;
                    else if (d > (r - 1) * (r - 1))
                        p = imagePixel(x <= y ? G::shadow : G::highlight_dim);
                    else if (d > (r - 2) * (r - 2))
                        p = imagePixel(x <= y ? G::dark_shadow_lit : G::light);
                    else if (d > (r - 4) * (r - 4))
                        p = imagePixel(i < 2 ? G::window : G::face);
                    else
                        p = centre[i];
                    *set.images[i].pixelAt(x, y) = p;
                }
            }
    }
    return set.images[std::clamp(which, 0, 5)];
}

namespace GuiRendererInternals {

bool GroupBoxBackgroundRenderer::draw(Graphics& g, const GuiMetrics& m, Component* c) {
    Rect frame = c->getBounds();
    frame.height -= m.extra;
    g.drawEtchedRect(frame, false);
    return true;
}

GroupBoxBackgroundRenderer* groupBoxBackgroundRenderer() {
    static GroupBoxBackgroundRenderer standard;
    GroupBoxBackgroundRenderer* painter = groupBoxPainter();
    return painter ? painter : &standard;
}

void setGroupBoxBackgroundRenderer(GroupBoxBackgroundRenderer* painter) { groupBoxPainter() = painter; }

}  // namespace GuiRendererInternals

}  // namespace pellium
