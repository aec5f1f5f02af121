// A component showing a page of the HTML subset: words in several fonts,
// links, pictures, line breaks, aligned paragraphs and tables. In a scroll
// pane it is laid out for the viewport's width. Over a link the pointer
// becomes a hand; a click on a link sends the pane's message (detail 0),
// during which getClickedLink gives the link's href.
#pragma once

#include <memory>

#include "gui/Component.h"
#include "gui/ScrollPane.h"

namespace pellium {

class HTMLPaneInternals;
class ImageReader;

class HTMLPane : public Component, public ScrollPane::SizedPage {
public:
    HTMLPane();
    ~HTMLPane() override;

    // Replaces the page; pictures come through the reader (without one,
    // every picture is the dummy reader's noise).
    void setText(const char* text, ImageReader* reader = nullptr);
    // The body's width hint, -1 when it gives none.
    int getWidthHint() const;
    // The href of the link being clicked, while the pane's message for it is
    // delivered; null at any other time.
    const char* getClickedLink() const;

    // As wide as its layout width, as tall as its page.
    void getPreferredSize(int& width, int& height) override;
    // Takes the new width as its layout width.
    void setBounds(const Rect& bounds) override;
    void draw(Graphics& g) override;
    void handleEvent(const Event& event) override;

    int minimumWidth() override;
    // Lays the page out again for the width, at least 25.
    void setWidth(int width) override;
    int width() override;
    int height() override;

    HTMLPaneInternals& internals() const { return *internals_; }

private:
    std::unique_ptr<HTMLPaneInternals> internals_;
};

}  // namespace pellium
