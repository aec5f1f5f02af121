#include "Clickable.h"

namespace pellium {

void Clickable::handleEvent(const Event& event) {
    switch (event.type) {
    case EventType::Enter:
        inside_ = true;
        break;
    case EventType::Leave:
        inside_ = false;
        break;
    case EventType::LeftDown:
        held_ = true;
        setFocus();
        break;
    case EventType::LeftUp:
        if (inside_)
            clicked();
        held_ = false;
        releaseFocus();
        break;
    default:
        return;
    }
    drawnPressed_ = held_ && inside_;
    revalidate();
}

}  // namespace pellium
