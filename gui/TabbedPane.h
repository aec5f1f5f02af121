// A row of tabs above a framed area that shows the panel of the selected tab.
// Selecting a tab sends detail 1 from the tab left and detail 0 from the tab
// chosen.
#pragma once

#include "gui/Container.h"

namespace pellium {

class PanelArea;
class Tab;
class TabHolder;

class TabbedPane : public Container {
public:
    TabbedPane();

    // A new tab with this label (and shortcut mark) for the panel.
    Tab* addTab(const char* label, Component* panel);
    // The first panel added is selected at once.
    void addTab(Tab* tab, Component* panel);
    // Clamped to the tabs there are; nothing is redrawn here.
    void select(int index);
    int getSelectedIndex() const { return selected_; }

    TabHolder* getTabHolder() const { return holder_; }
    PanelArea* getPanelArea() const { return area_; }

private:
    int selected_ = 0;
    TabHolder* holder_;
    PanelArea* area_;
};

}  // namespace pellium
