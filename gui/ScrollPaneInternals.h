// Inside the toolkit only: a scroll pane's settings, its parts, and what its
// last layout decided.
#pragma once

#include "gui/Color.h"
#include "gui/MessageDest.h"
#include "gui/ScrollPane.h"

namespace pellium {

class ColumnHeader;
class ScrollBar;
class ViewPane;

// Any message from a scroll bar redraws the pane: the vertical bar's carry
// id 1, the horizontal bar's id 2.
struct ScrollPaneInternals : public MessageDest {
    explicit ScrollPaneInternals(ScrollPane* pane) : pane(pane) {}
    void message(Component*, int, int) override { pane->revalidate(); }

    ScrollPane* pane;
    bool bordered = false;
    Color background{0, 0, 0, 0};
    int rowUnit = 1, columnUnit = 1;
    int verticalStep = 20, horizontalStep = 20;
    int verticalPolicy = ScrollPane::asNeeded, horizontalPolicy = ScrollPane::asNeeded;
    orvel::ref_ptr<Component> view;
    ViewPane* viewPane = nullptr;
    ColumnHeader* columnHeader = nullptr;
    ScrollBar* verticalBar = nullptr;
    ScrollBar* horizontalBar = nullptr;
    bool verticalShown = false, horizontalShown = false;
    // The view as a page, found on the first layout.
    ScrollPane::SizedPage* page = nullptr;
    bool pageLooked = false;
};

}  // namespace pellium
