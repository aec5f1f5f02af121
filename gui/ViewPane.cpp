#include "ViewPane.h"

#include "gui/Application.h"
#include "gui/Graphics.h"
#include "gui/GuiRenderer.h"
#include "gui/ScrollBar.h"
#include "gui/ScrollPaneInternals.h"

namespace pellium {

ViewPane::ViewPane(ScrollPane* pane, Component* view) : pane_(pane) {
    setLayout(new ViewPaneLayout(pane));
    if (view)
        add(view);
}

void ViewPane::getPreferredSize(int& width, int& height) {
    const ScrollPaneInternals& in = pane_->internals();
    if (in.page) {
        width = in.page->width();
        height = in.page->height();
    } else if (in.view) {
        in.view->getPreferredSize(width, height);
    } else {
        width = height = 0;
    }
    if (in.columnUnit > 1)
        width = getBounds().width;
    if (in.rowUnit > 1)
        height = getBounds().height;
}

void ViewPane::draw(Graphics& g) {
    if (const std::uint32_t packed = pane_->internals().background.toPacked()) {
        g.setRGBColor(packed & 0xFFFFFFu);
        g.fillRect(getBounds());
    }
    Container::draw(g);
}

void ViewPane::handleEvent(const Event& event) {
    if (Component* view = pane_->getView())
        view->handleEvent(event);
}

void ViewPane::handleKey(const Event& event) {
    if (Component* view = pane_->getView())
        view->handleKey(event);
}

void ViewPane::message(Component*, int id, int) {
    const ScrollPaneInternals& in = pane_->internals();
    ScrollBar* bar = nullptr;
    long long by = 0;
    if (id == WidgetState::up || id == WidgetState::down) {
        bar = in.verticalBar;
        by = in.verticalStep;
    } else if (id == WidgetState::left || id == WidgetState::right) {
        bar = in.horizontalBar;
        by = in.horizontalStep;
    }
    if (id == WidgetState::up || id == WidgetState::left)
        by = -by;
    // Unclamped, but within the value's range, whatever a program set.
    if (bar)
        bar->setValue(clampedInt(bar->getValue() + by));
    pane_->revalidate();
}

void ViewPaneLayout::calcSize(Container&, int&, int&) {
    userError("Somebody called ScrollPane::ViewPaneLayout::calcSize()");
}

void ViewPaneLayout::layout(Container& container) {
    Component* view = pane_->getView();
    if (!view)
        return;
    ScrollBar* vertical = pane_->verticalBar();
    ScrollBar* horizontal = pane_->horizontalBar();
    vertical->clampValue();
    horizontal->clampValue();
    // In 64 bits: scrolled to the end of the largest view, the top edge lies
    // an int's range above the viewport before the total brings it back.
    const Rect& b = container.getBounds();
    view->setBounds({clampedInt((long long)(b.x) - horizontal->getValue()),
                     clampedInt(b.top() + vertical->getValue() - vertical->getTotal()), horizontal->getTotal(),
                     vertical->getTotal()});
}

void ColumnHeader::layout() {
    if (children().empty())
        return;
    Rect b = getBounds();
    b.x = clampedInt((long long)(b.x) - offset);
    children()[0]->setBounds(b);
    if (Container* c = children()[0]->asContainer())
        c->layout();
}

}  // namespace pellium
