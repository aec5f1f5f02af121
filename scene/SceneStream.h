// How scene classes meet the object stream. A body is a run of blocks, one
// per class level with the base class first; each field is a compact tag and
// its payload, and tag 0 ends a block. A tag a reader does not know is passed
// over without its payload: the next value is read as a tag.
//
// Links that the owning side makes (a branch's parent and owner, an object's
// database, level-of-detail neighbours, a batch's branch, an object's
// instance list) are written as references, the back links through
// DataDest::writeLink so that a stream of one part does not take in the
// scene around it. They are never taken from a stream: the owner rebuilds
// them when it takes its parts over, so no stream can make a branch belong
// to two owners or to itself.
#pragma once

#include <cstddef>
#include <vector>

#include "base/DataDest.h"
#include "base/DataSource.h"
#include "base/Refcountable.h"
#include "base/counted_ptr.h"
#include "base/Streamable.h"

namespace kessa {

// Registers every scene type on the source, for StreamReader::read.
void registerTypes(orvel::DataSource& source);

namespace stream {

// The next tag of a block: 0 at its end, and when the source can give no more.
inline unsigned nextTag(orvel::DataSource& in) {
    unsigned tag = in.readCompact();
    return in.good() ? tag : 0;
}

inline void writeTag(orvel::DataDest& out, unsigned tag) { out.writeCompact(tag); }

// A reference whose object the owning side links: its id is read and dropped.
inline void skipReference(orvel::DataSource& in) {
    if (in.context)
        in.readUInt32();
}

// A reference that makes its object part of owner. Once every object of the
// stream is read, and before any postRead, take(owner, index, object) is
// called and answers whether owner took the object over. Taking is decided
// there, reference by reference, so that an object goes to one owner at most
// and never to one it holds itself: owners form trees, and the reader deletes
// every tree whose top nothing took, rings that no owner reaches included.
// The reader never offers the root, which it hands out itself.
inline void readOwnedReference(orvel::DataSource& in, void* owner, orvel::DataSource::FillSlot take) {
    in.readReference(owner, take, orvel::DataSource::Hold::own);
}

// A list of such references; take is given each element's index.
inline void readOwnedList(orvel::DataSource& in, void* owner, orvel::DataSource::FillSlot take) {
    const std::vector<unsigned>& ids = in.readReferenceIds();
    for (std::size_t i = 0; i < ids.size(); ++i)
        if (ids[i] != 0)
            in.addReference(ids[i], owner, take, orvel::DataSource::Hold::own, unsigned(i));
}

// A reference that does not keep its object: an object that nothing else in
// the stream holds is deleted by the reader once the read is over.
template <class T>
void readWeakReference(orvel::DataSource& in, T*& slot) {
    if (!in.context)
        return;
    slot = nullptr;
    in.readReference(
        &slot,
        [](void* s, unsigned, orvel::Streamable* object) {
            *static_cast<T**>(s) = dynamic_cast<T*>(object);
            return false;
        },
        orvel::DataSource::Hold::refer);
}

// A reference held by the object's own count (an orvel::Refcountable in a
// ref_ptr). The slot takes a count when the reference is filled, so every
// object ends with as many counts as it has holders, whatever count the
// stream stored for it. The reader never offers the root, which it hands
// out itself.
template <class T>
void readHeldReference(orvel::DataSource& in, orvel::ref_ptr<T>& slot) {
    if (!in.context)
        return;
    slot = nullptr;
    in.readReference(
        &slot,
        [](void* s, unsigned, orvel::Streamable* object) {
            T* typed = dynamic_cast<T*>(object);
            if (!typed)
                return false;
            *static_cast<orvel::ref_ptr<T>*>(s) = typed;
            return true;
        },
        orvel::DataSource::Hold::own);
}

// The T a weak reference named, directly or through its counted record.
// Records are complete only once every reference is filled, that is from
// postRead on.
template <class T>
T* resolve(orvel::Streamable* object) {
    if (auto* typed = dynamic_cast<T*>(object))
        return typed;
    if (auto* record = dynamic_cast<orvel::CountedRecord*>(object))
        return dynamic_cast<T*>(record->pointee());
    return nullptr;
}

}  // namespace stream

}  // namespace kessa
