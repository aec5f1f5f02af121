#include "gui/html/HTMLPane.h"

#include <algorithm>

#include "gui/gl/Cursor.h"
#include "gui/html/HTMLPaneInternals.h"

namespace pellium {

HTMLPane::HTMLPane() : internals_(new HTMLPaneInternals(this)) {}

HTMLPane::~HTMLPane() = default;

void HTMLPane::setText(const char* text, ImageReader* reader) { internals_->setText(text, reader); }

int HTMLPane::getWidthHint() const { return internals_->widthHint; }

const char* HTMLPane::getClickedLink() const { return internals_->clickedLink; }

void HTMLPane::getPreferredSize(int& width, int& height) {
    width = internals_->layoutWidth;
    height = internals_->pageHeight();
}

void HTMLPane::setBounds(const Rect& bounds) {
    const int width = std::max(bounds.width, HTMLPaneInternals::minimumWidth);
    if (width != internals_->layoutWidth) {
        internals_->layoutWidth = width;
        internals_->layout();
    }
    Component::setBounds(bounds);
}

void HTMLPane::draw(Graphics& g) { internals_->draw(g, getBounds()); }

void HTMLPane::handleEvent(const Event& event) {
    if (event.type != EventType::Move && event.type != EventType::LeftDown)
        return;
    HitResult hit;
    const bool onLink = internals_->hitTest(event.x, event.y, getBounds(), hit) && hit.link >= 0;
    if (event.type == EventType::Move) {
        const orvel::counted_ptr<Cursor> wanted = onLink ? pellium::getCursor(Cursor::PointingHand) : nullptr;
        if (wanted.get() != Component::getCursor().get())
            setCursor(wanted);
    } else if (onLink) {
        internals_->clickedLink = internals_->links[size_t(hit.link)].c_str();
        sendMessage(0);
        internals_->clickedLink = nullptr;
    }
}

int HTMLPane::minimumWidth() { return internals_->document().minimumWidth(); }

void HTMLPane::setWidth(int width) {
    internals_->layoutWidth = std::max(width, HTMLPaneInternals::minimumWidth);
    internals_->layout();
}

int HTMLPane::width() { return internals_->layoutWidth; }

int HTMLPane::height() { return internals_->pageHeight(); }

}  // namespace pellium
