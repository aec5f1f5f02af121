// What the main loop calls when a pass found nothing to do.
#pragma once

namespace pellium {

class Idler {
public:
    virtual ~Idler() = default;
    virtual void idle() = 0;
};

// Does nothing: the loop's idler when none is given.
class IdleThing : public Idler {
public:
    void idle() override {}
};

// Notes that the loop went idle.
class IdleDetector : public Idler {
public:
    void idle() override { called = true; }
    bool called = false;
};

}  // namespace pellium
