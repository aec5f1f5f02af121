#include "TabbedPane.h"

#include "base/Debug.h"
#include "gui/BorderLayout.h"
#include "gui/CardLayout.h"
#include "gui/Graphics.h"
#include "gui/GuiRenderer.h"
#include "gui/PanelArea.h"
#include "gui/RowLayout.h"
#include "gui/Tab.h"
#include "gui/TabHolder.h"

namespace pellium {

TabbedPane::TabbedPane() {
    setLabel("freak", false);
    setInsets(4, 2, 4, 4);
    setLayout(new BorderLayout);
    holder_ = new TabHolder;
    area_ = new PanelArea(this, holder_);
    add(holder_, BorderLayout::top);
    add(area_, BorderLayout::centre);
}

Tab* TabbedPane::addTab(const char* label, Component* panel) {
    Tab* tab = new Tab(this, label);
    addTab(tab, panel);
    return tab;
}

void TabbedPane::addTab(Tab* tab, Component* panel) {
    holder_->add(tab);
    tab->setIndex(int(holder_->children().size()) - 1);
    area_->add(panel);
    if (area_->children().size() == 1)
        select(0);
}

void TabbedPane::select(int index) {
    const auto& tabs = holder_->children();
    const int count = int(tabs.size());
    if (count == 0)
        return;
    index = index < 0 ? 0 : index >= count ? count - 1 : index;
    if (index != selected_) {
        if (selected_ >= 0 && selected_ < count)
            tabs[size_t(selected_)]->sendMessage(1);
        tabs[size_t(index)]->sendMessage(0);
    }
    selected_ = index;
    area_->cards().setCurrentCard(index);
    area_->cards().showCurrent(*area_);
}

void Tab::press() {
    pane_->select(index_);
    pane_->revalidate();
}

void Tab::getRenderInfo(int& kind, int& state) {
    Button::getRenderInfo(kind, state);
    kind = WidgetKind::tab;
    // The focus bit means "selected" for a tab: a focused tab not selected must not look selected.
    state &= ~WidgetState::focused;
    if (index_ == pane_->getSelectedIndex())
        state |= WidgetState::focused;
}

TabHolder::TabHolder() {
    setLabel("Tab area", false);
    auto* row = new RowLayout;
    row->setGap(0);
    row->setAlignment(0);
    setLayout(row);
    setInsets(2, 0, 2, 0);
}

void TabHolder::draw(Graphics& g) {
    int index = 0;
    for (auto& child : children())
        if (auto* tab = dynamic_cast<Tab*>(child.get()))
            tab->setIndex(index++);
    Container::draw(g);
}

PanelArea::PanelArea(TabbedPane* pane, TabHolder* holder) : pane_(pane), holder_(holder), cards_(new CardLayout) {
    setLabel("TabbedPane active area", false);
    cards_->sizeToWidest();
    cards_->sizeToTallest();
    setLayout(cards_);
    takeInsets();
}

void PanelArea::takeInsets() {
    GuiMetrics m;
    GuiRenderer::instance()->getMetrics(m, WidgetKind::tabPanel, 0, this);
    setInsets(m.insetLeft, m.insetBottom, m.insetRight, m.insetTop);
    frameInset_ = m.insetTop + 1;
}

void PanelArea::layout() {
    takeInsets();
    Container::layout();
}

void PanelArea::draw(Graphics& g) {
    GuiRenderer* renderer = GuiRenderer::instance();
    renderer->drawBackground(g, WidgetKind::tabPanel, 0, getBounds());
    const int selected = pane_->getSelectedIndex(), count = int(holder_->children().size());
    if (selected < 0 || selected >= count) {
        orvel::debug("Error in TabbedPane::PanelArea::draw() - tab %d isn't in range %d\n", selected, count);
    } else {
        // The frame again under the selected tab's foot, so the tab joins the panel.
        const Rect tab = holder_->children()[size_t(selected)]->getBounds();
        const int d = frameInset_;
        const Rect joint{tab.x + 1, tab.y - d, tab.width - 2, 2 * d};
        g.pushClip(joint);
        renderer->drawBackground(g, WidgetKind::tabPanel, 0, joint.grow(d));
        g.popClip();
    }
    Container::draw(g);
}

}  // namespace pellium
