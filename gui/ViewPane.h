// The viewport of a scroll pane: it holds the view and places it shifted by
// the scroll bars' values, so that the part of the content they select shows.
#pragma once

#include "gui/Container.h"
#include "gui/LayoutManager.h"
#include "gui/MessageDest.h"

namespace pellium {

class ScrollPane;

class ViewPane : public Container, public MessageDest {
public:
    ViewPane(ScrollPane* pane, Component* view);

    // A message whose id is a direction code (WidgetState's up, down, left,
    // right) moves the matching bar by the pane's step, unclamped: drawing
    // brings the value back into range. Any message redraws the pane.
    void message(Component* source, int id, int detail) override;

    // The page's size for a SizedPage, else the view's; units above 1 replace it.
    void getPreferredSize(int& width, int& height) override;
    // The background colour when it is not transparent, then the view.
    void draw(Graphics& g) override;
    void handleEvent(const Event& event) override;
    void handleKey(const Event& event) override;

private:
    ScrollPane* pane_;
};

// The view's place: the content's top-left corner at the viewport's, moved
// by the values.
class ViewPaneLayout : public LayoutManager {
public:
    explicit ViewPaneLayout(ScrollPane* pane) : pane_(pane) {}
    // Never asked: the view pane has its own size. Says so to the user.
    void calcSize(Container& container, int& width, int& height) override;
    void layout(Container& container) override;

private:
    ScrollPane* pane_;
};

// Above the viewport: its one child moves sideways with the content.
class ColumnHeader : public Container {
public:
    void layout() override;
    int offset = 0;
};

}  // namespace pellium
