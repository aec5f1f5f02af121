// The per-branch hook of triangle batches: called with each batch of a
// geometry branch before it is compiled and before each draw. A hook may
// change vertex data in place and mark what it changed with
// GeoBunch::addFlags, so that the changed arrays reach GL again. The base
// class does nothing; the model library derives the ones that do.
#pragma once

#include "base/Refcountable.h"
#include "base/Streamable.h"

namespace kessa {

class GeoBunch;

class BunchCallbacks : public orvel::Refcountable, public orvel::Streamable {
public:
    virtual void processBunch(GeoBunch& bunch);

    // Block: 1 the reference count (int32), passed over when read: the hook
    // is held by as many holders as took it from the stream.
    void read(orvel::DataSource& in) override;
    const char* typeName() const override { return "zanthorium::kessa::BunchCallbacks"; }
    void write(orvel::DataDest& out) override;
};

}  // namespace kessa
