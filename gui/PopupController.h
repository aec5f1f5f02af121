// The owner of the open popup (a menu, a combo list): it sees every event
// first and closes its popup when asked.
#pragma once

namespace pellium {

struct Event;

class PopupController {
public:
    virtual ~PopupController() = default;
    virtual void closePopup() = 0;
    // True when it took the event.
    virtual bool popupEvent(const Event& event) = 0;
};

}  // namespace pellium
