#include "scene/BunchCallbacks.h"

#include "base/DataDest.h"
#include "base/DataSource.h"
#include "base/StreamWriter.h"
#include "scene/SceneStream.h"

namespace kessa {

void BunchCallbacks::processBunch(GeoBunch&) {}

void BunchCallbacks::read(orvel::DataSource& in) {
    while (unsigned tag = stream::nextTag(in)) {
        if (tag == 1)
            in.readUInt32();
    }
}

void BunchCallbacks::write(orvel::DataDest& out) {
    stream::writeTag(out, 1);
    out.writeUInt32(out.context ? out.context->referencesTo(this) : refCount());
    stream::writeTag(out, 0);
}

}  // namespace kessa
