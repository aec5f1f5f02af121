// The push button of one page of a tabbed pane: pressing it selects its page.
#pragma once

#include "gui/Button.h"

namespace pellium {

class TabbedPane;

class Tab : public Button {
public:
    Tab(TabbedPane* pane, const char* label) : Button(label), pane_(pane) {}

    // Selects this tab's page and redraws the pane.
    void press() override;
    // A tab, its push-button state, and the focus bit only when it is the selected one.
    void getRenderInfo(int& kind, int& state) override;

    int index() const { return index_; }
    void setIndex(int index) { index_ = index; }

private:
    TabbedPane* pane_;
    int index_ = 0;
};

}  // namespace pellium
