// The state behind an HTML pane: the document with its links and body
// settings, the colours it is drawn in and the width it is laid out for.
// Document coordinates start at 0 at the top of the document and fall
// downward; a margin of 5 pixels is kept on every side.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gui/Rect.h"
#include "gui/html/DocumentChunkList.h"
#include "gui/html/HTMLInfo.h"

namespace pellium {

class Graphics;
class HTMLPane;
class ImageReader;

class HTMLPaneInternals : public HTMLInfo {
public:
    static constexpr int margin = 5;
    static constexpr int minimumWidth = 25;

    explicit HTMLPaneInternals(HTMLPane* pane = nullptr) : pane(pane), document_(new DocumentChunkList) {}

    std::uint32_t textColor() const override { return text; }
    std::uint32_t linkColor() const override { return link; }
    std::uint32_t backgroundColor() const override { return background; }

    // Replaces the document by the one text describes and lays it out.
    void setText(const char* text, ImageReader* reader);
    // Lays the document out for the layout width, less the margins.
    void layout();
    // The document's height with the margins above and below.
    int pageHeight() const { return document_->height() + 2 * margin; }
    // The background when there is one, then the document inside the margins of bounds.
    void draw(Graphics& g, const Rect& bounds);
    // The glyph under a window point of a pane at bounds.
    bool hitTest(int x, int y, const Rect& bounds, HitResult& result);

    DocumentChunkList& document() { return *document_; }
    // The document's text, one line per paragraph, for the log and for checks.
    std::string dump() const;

    HTMLPane* pane;
    int layoutWidth = 250;
    int widthHint = -1;
    std::uint32_t text = 0xFF000000u;
    std::uint32_t link = 0xFFFF0000u;
    std::uint32_t background = 0;
    // The href of every link, in document order, lower case.
    std::vector<std::string> links;
    // While the pane's message for a click on a link is delivered: that link's href.
    const char* clickedLink = nullptr;

private:
    orvel::ref_ptr<DocumentChunkList> document_;
};

}  // namespace pellium
