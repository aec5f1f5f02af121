// What a triangle batch asks of the geometry branch whose list holds it: the
// branch's names for log lines, the branch's per-batch hook, and leave to go
// when the batch is destroyed.
#pragma once

namespace kessa {

class Branch;
class BunchCallbacks;
class GeoBunch;

class BunchHolder {
public:
    virtual const Branch& holderBranch() const = 0;
    // Called before the branch's batches are compiled and drawn; null for none.
    virtual BunchCallbacks* bunchCallbacks() const = 0;
    // The batch is being destroyed: take it out of the list.
    virtual void forgetBunch(GeoBunch* bunch) = 0;

protected:
    ~BunchHolder() = default;
};

}  // namespace kessa
