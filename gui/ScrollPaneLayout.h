// Decides which scroll bars a scroll pane shows, lays a page out for the
// viewport's width, and places the bars, the header and the viewport. The
// last sizes are kept so that a page is laid out again only when they change.
#pragma once

#include "gui/LayoutManager.h"

namespace pellium {

class ScrollPane;

class ScrollPaneLayout : public LayoutManager {
public:
    explicit ScrollPaneLayout(ScrollPane* pane) : pane_(pane) {}
    void calcSize(Container& container, int& width, int& height) override;
    void layout(Container& container) override;

private:
    ScrollPane* pane_;
    int contentWidth_ = -1, contentHeight_ = -1, innerWidth_ = -1, innerHeight_ = -1;
};

}  // namespace pellium
