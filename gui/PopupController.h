// The owner of the open popup (a menu, a combo list). The window layer asks
// it whether the component under an event belongs to the popup, and closes
// the popup through it when a press lands anywhere else.
#pragma once

namespace pellium {

class Component;
struct Event;

class PopupController {
public:
    virtual ~PopupController() = default;
    virtual void closePopup() = 0;
    // Whether c, the component under the event, is part of the popup.
    virtual bool ownsComponent(Component* c, const Event& e) = 0;
};

}  // namespace pellium
