// The framed area of a tabbed pane in which the selected tab's panel shows,
// one card of a card layout sized to the largest panel. Its drawing joins the
// selected tab to the frame.
#pragma once

#include "gui/Container.h"

namespace pellium {

class CardLayout;
class TabHolder;
class TabbedPane;

class PanelArea : public Container {
public:
    PanelArea(TabbedPane* pane, TabHolder* holder);

    // Takes its insets from the renderer's tab panel first.
    void layout() override;
    void draw(Graphics& g) override;

    CardLayout& cards() { return *cards_; }

private:
    void takeInsets();

    TabbedPane* pane_;
    TabHolder* holder_;
    int frameInset_ = 0;
    CardLayout* cards_;
};

}  // namespace pellium
