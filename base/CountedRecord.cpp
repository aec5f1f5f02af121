#include "base/counted_ptr.h"

#include "base/DataDest.h"
#include "base/DataSource.h"
#include "base/StreamWriter.h"

namespace orvel {

CountedRecord::~CountedRecord() {
    if (kind_) {
        if (object_)
            kind_->destroy(object_);
    } else {
        delete read_;
    }
}

void CountedRecord::destroy(CountedRecord* record) noexcept { delete record; }

Streamable* CountedRecord::pointee() const noexcept {
    if (kind_)
        return object_ ? kind_->streamable(object_) : nullptr;
    return read_;
}

void CountedRecord::read(DataSource& source) {
    source.noteCountedPtr();
    source >> count;
    source.readStreamable(read_);
}

void CountedRecord::write(DataDest& dest) {
    dest.writeUInt32(dest.context ? dest.context->referencesTo(this) : count);
    dest.writeStreamable(pointee());
}

}  // namespace orvel
