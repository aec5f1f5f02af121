#include "TipWindow.h"

#include <algorithm>
#include <cstring>

#include "gui/Graphics.h"
#include "gui/gl/Font.h"
#include "gui/html/HTMLPane.h"
#include "platform/Windows.h"

namespace pellium {

namespace {

TipWindow* last = nullptr;

// The maker hovers call. The tip made before is closed by then: it goes.
Window* makeTip(const Event& hover, Component* component) {
    delete last;
    last = nullptr;
    last = new TipWindow(hover, component);
    return last;
}

}  // namespace

void TipWindow::install() { Component::setToolTipMaker(makeTip); }

TipWindow* TipWindow::latest() { return last; }

TipWindow::TipWindow(const Event& hover, Component* component) : Window(hover.window) {
    const orvel_string& text = component->getToolTip();
    int w, h;
    if (std::strncmp(text.c_str(), "<body", 5) == 0) {
        pane_ = new HTMLPane;
        pane_->setText(text.c_str());
        // Wrapped no wider than the screen, which is as wide as a tip gets.
        paneWidth_ = std::min(pane_->getWidthHint() < 0 ? 200 : pane_->getWidthHint(),
                              platform::screenMetrics().width);
        pane_->setWidth(paneWidth_);
        paneHeight_ = pane_->height();
        pane_->getPreferredSize(w, h);
    } else {
        const char* start = text.c_str();
        for (const char* end; (end = std::strchr(start, '\n')); start = end + 1)
            lines_.emplace_back(start, unsigned(end - start));
        lines_.emplace_back(start);
        const Font& font = *getFont();
        int widest = 0;
        for (const orvel_string& line : lines_)
            widest = std::max(widest, font.stringWidth(line));
        w = widest + 2 * font.charWidth('M');
        h = 4 * font.descent() + int(lines_.size()) * (font.externalLeading() + font.height() + 1);
    }
    setBounds({hover.x, hover.y - h - 20, w, h});
    setPopupAnchor(hover.x - w, hover.y + 4);
    setWindowType(Popup);
    setTitle("pellium tooltip");
    setShadow();
    open();
}

TipWindow::~TipWindow() {
    if (last == this)
        last = nullptr;
}

void TipWindow::paint(Graphics& g) {
    const Rect& b = getBounds();
    g.setColor(GuiColor::info_background);
    g.fillRect(b);
    if (pane_) {
        pane_->setBounds(b);
        pane_->draw(g);
    } else {
        const Font& font = *getFont();
        const int x = font.charWidth('M');
        int y = b.height - 2 * font.descent() - font.height();
        g.setColor(GuiColor::info_text);
        for (const orvel_string& line : lines_) {
            g.drawString(line, &font, x, y);
            y -= font.externalLeading() + font.height() + 1;
        }
    }
    g.setColor(GuiColor::info_text);
    g.drawRect(b);
}

}  // namespace pellium
