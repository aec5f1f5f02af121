// What the clickable widgets (push buttons, check boxes and radio buttons)
// share: following the left mouse button and the pointer. Held: the button
// went down on the widget and has not come up. Inside: the pointer is over
// it. Drawn pressed: both, as of the last event.
#pragma once

#include "gui/Component.h"

namespace pellium {

class Clickable : public Component {
public:
    // Enter and Leave move the pointer in and out. A press holds the widget
    // and takes the mouse; a release over it clicks it (also when the press
    // began elsewhere), then the hold ends and the mouse goes back. The
    // widget is redrawn after each of these; other events are not handled.
    void handleEvent(const Event& event) override;

protected:
    // A release over the widget, before its hold ends.
    virtual void clicked() = 0;

    bool held_ = false;
    bool inside_ = false;
    bool drawnPressed_ = false;
};

}  // namespace pellium
