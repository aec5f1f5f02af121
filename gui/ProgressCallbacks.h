// What long loads report to: progress() is asked now and then and answers
// true to cancel the load. The game window implements it.
#pragma once

namespace pellium {

class ProgressCallbacks {
public:
    virtual ~ProgressCallbacks() = default;
    virtual bool progress() = 0;
};

}  // namespace pellium
