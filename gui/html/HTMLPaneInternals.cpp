#include "gui/html/HTMLPaneInternals.h"

#include <algorithm>

#include "gui/Graphics.h"
#include "gui/html/HTMLParser.h"

namespace pellium {

void HTMLPaneInternals::setText(const char* text, ImageReader* reader) {
    document_ = new DocumentChunkList;
    links.clear();
    background = 0;
    widthHint = -1;
    HTMLParser(*this, reader).parse(text);
    layoutWidth = std::max(layoutWidth, minimumWidth);
    layout();
}

void HTMLPaneInternals::layout() {
    document_->layout({layoutWidth - 2 * margin, DocumentChunk::alignLeft});
}

void HTMLPaneInternals::draw(Graphics& g, const Rect& bounds) {
    if (background != 0) {
        g.setRGBColor(background & 0xFFFFFFu);
        g.fillRect(bounds);
    }
    document_->draw(*this, g, bounds.grow(-margin));
}

bool HTMLPaneInternals::hitTest(int x, int y, const Rect& bounds, HitResult& result) {
    return document_->hitTest(x, y, bounds.grow(-margin), result);
}

std::string HTMLPaneInternals::dump() const {
    std::string out;
    document_->dump(out);
    return out;
}

}  // namespace pellium
