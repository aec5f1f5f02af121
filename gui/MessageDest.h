// The receiver of the messages components send when the user acts on them.
#pragma once

namespace pellium {

class Component;

class MessageDest {
public:
    virtual ~MessageDest() = default;
    virtual void message(Component* source, int id, int detail) = 0;
};

}  // namespace pellium
