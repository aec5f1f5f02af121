// Components shown and hidden together; it holds no references.
#pragma once

#include <vector>

#include "gui/Component.h"

namespace pellium {

class ComponentGroup {
public:
    void add(Component* component) { members_.push_back(component); }
    void setVisible(bool visible) {
        for (Component* c : members_)
            c->setVisible(visible);
    }
    const std::vector<Component*>& members() const { return members_; }

private:
    std::vector<Component*> members_;
};

}  // namespace pellium
