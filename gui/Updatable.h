// Objects the main loop polls on every pass in which no event is waiting.
#pragma once

namespace pellium {

class Updatable {
public:
    // Leaving the update list is part of dying: the loop never calls a dead object.
    virtual ~Updatable();
    // True when it did something this pass (then the loop does not go idle).
    virtual bool update() = 0;

    // Adds an object unless it is already on the list; removes it. Both are
    // safe inside update(), for the object itself and for any other.
    static void startUpdates(Updatable* object);
    static void stopUpdates(Updatable* object);
};

}  // namespace pellium
