// The writer of object streams: what StreamReader reads, in version 1.01
// (see StreamReader.h for the layout).
//
// How it finds what to write: it runs each object's write() twice. The
// first run goes into a sink that keeps no bytes and only records the
// objects that the body names through DataDest::writeStreamable (directly,
// through a counted holder, or in a list of references). Each object so
// found gets the next id, in the order objects are first named, starting
// with the root at 1, and is run in its turn. The second run writes the
// bodies, the references as those ids. So a class needs nothing beyond its
// write(): every object it names is written, once, however many refer to
// it, and cycles are no trouble. (An object named only in the second run
// is written too, at the end.) A link (DataDest::writeLink) finds nothing:
// it gives the id of an object that is written anyway, or 0.
//
// Type tags are the objects' typeName(); each tag gets the next type id and
// is declared just before the first object of its type. A counted pointer
// is written as its record, whose count is the number of references the
// stream makes to it: holders outside the stream are not read back.
//
// The stream is little-endian whatever the sink's swap setting; the sink's
// string mode and swap are as before afterwards.
#pragma once

#include <map>
#include <unordered_map>
#include <vector>

#include "base/DataDest.h"
#include "base/Streamable.h"
#include "base/counted_ptr.h"
#include "base/orvel_string.h"

namespace orvel {

class StreamWriter {
public:
    // Writes root and every object reachable from it as one stream. A null
    // root gives a stream without objects. False when the sink failed or a
    // write() threw (logged when it was a std::logic_error); the sink is
    // failed then.
    static bool write(DataDest& dest, Streamable* root);
    template <class T>
    static bool write(DataDest& dest, const counted_ptr<T>& root) {
        return write(dest, CountedKind<T>::streamable(root.get()));
    }

    // The body sinks' hooks: a reference's or a link's id into body, and
    // how many references the stream makes to an object.
    void writeReference(DataDest& body, Streamable* object);
    void writeLink(DataDest& body, const Streamable* object);
    unsigned referencesTo(const Streamable* object) const;

private:
    struct Object {
        Streamable* object;
        unsigned type;
        unsigned references;
    };

    StreamWriter() = default;
    void run(DataDest& dest, Streamable* root);
    unsigned idOf(Streamable* object);
    unsigned typeOf(const Streamable* object);

    std::vector<Object> objects_;
    std::unordered_map<const Streamable*, unsigned> ids_;
    // Type ids by tag text, with the tag pointers seen so far as a shortcut.
    std::map<orvel_string, unsigned> typeIds_;
    std::unordered_map<const char*, unsigned> tagPointers_;
    std::vector<const orvel_string*> tags_;
    bool finding_ = false;
};

}  // namespace orvel
