#include "ScrollPane.h"

#include <algorithm>

#include "gui/Graphics.h"
#include "gui/ScrollBar.h"
#include "gui/ScrollPaneInternals.h"
#include "gui/ScrollPaneLayout.h"
#include "gui/ViewPane.h"

namespace pellium {

ScrollPane::ScrollPane(Component* view) : internals_(new ScrollPaneInternals(this)) {
    ScrollPaneInternals& in = *internals_;
    in.view = view;
    setLabel("Scroll Pane", false);
    setLayout(new ScrollPaneLayout(this));
    in.verticalBar = new ScrollBar(true);
    in.horizontalBar = new ScrollBar(false);
    in.columnHeader = new ColumnHeader;
    in.viewPane = new ViewPane(this, view);
    // The arrows move as far as a key press does.
    in.verticalBar->setStep(in.verticalStep);
    in.horizontalBar->setStep(in.horizontalStep);
    in.verticalBar->setMessageDest(&in, 1);
    in.horizontalBar->setMessageDest(&in, 2);
    in.columnHeader->setVisible(false);
    add(in.verticalBar);
    add(in.horizontalBar);
    add(in.columnHeader);
    add(in.viewPane);
    lock();
    setBorder(true);
}

ScrollPane::~ScrollPane() = default;

void ScrollPane::setBorder(bool bordered) {
    internals_->bordered = bordered;
    const int inset = bordered ? 2 : 0;
    setInsets(inset, inset, inset, inset);
}

void ScrollPane::setHorizontalScrollPolicy(int policy) { internals_->horizontalPolicy = policy; }
void ScrollPane::setVerticalScrollPolicy(int policy) { internals_->verticalPolicy = policy; }
void ScrollPane::setRowUnit(int unit) { internals_->rowUnit = unit; }
void ScrollPane::setColumnUnit(int unit) { internals_->columnUnit = unit; }

void ScrollPane::setSteps(int vertical, int horizontal) {
    internals_->verticalStep = vertical;
    internals_->horizontalStep = horizontal;
    internals_->verticalBar->setStep(vertical);
    internals_->horizontalBar->setStep(horizontal);
}

void ScrollPane::setBackground(const Color& colour) { internals_->background = colour; }

void ScrollPane::setColumnHeader(Component* header) {
    ColumnHeader* holder = internals_->columnHeader;
    holder->add(header);
    holder->setVisible(true);
}

Component* ScrollPane::getView() const { return internals_->view.get(); }
ScrollBar* ScrollPane::verticalBar() const { return internals_->verticalBar; }
ScrollBar* ScrollPane::horizontalBar() const { return internals_->horizontalBar; }
ViewPane* ScrollPane::viewPane() const { return internals_->viewPane; }

void ScrollPane::draw(Graphics& g) {
    if (internals_->bordered)
        g.drawWell(getBounds(), GuiColor::transparent);
    Container::draw(g);
}

bool ScrollPane::scroll(ScrollBar* bar, int by) {
    const int before = bar->getValue();
    bar->setValue(int(std::clamp<long long>((long long)(before) + by, 0, bar->maxValue())));
    return bar->getValue() != before;
}

void ScrollPane::handleEvent(const Event& event) {
    ScrollPaneInternals& in = *internals_;
    bool changed = false;
    if (event.type == EventType::Wheel) {
        if (!in.verticalShown)
            return;
        changed = scroll(in.verticalBar, event.wheel >= 0 ? -in.verticalStep : in.verticalStep);
    } else if (event.type == EventType::Key) {
        switch (event.code) {
        case Key::Left:
            changed = scroll(in.horizontalBar, -in.horizontalStep);
            break;
        case Key::Right:
            changed = scroll(in.horizontalBar, in.horizontalStep);
            break;
        case Key::Up:
            changed = scroll(in.verticalBar, -in.verticalStep);
            break;
        case Key::Down:
            changed = scroll(in.verticalBar, in.verticalStep);
            break;
        default:
            Component::handleKey(event);
            return;
        }
    } else {
        return;
    }
    if (changed)
        revalidate();
}

bool ScrollPane::wantsEvent(const Event& event) {
    handleEvent(event);
    return true;
}

void ScrollPane::handleKey(const Event& event) {
    if (event.type == EventType::Key)
        handleEvent(event);
    else
        Component::handleKey(event);
}

}  // namespace pellium
