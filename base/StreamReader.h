// The reader of object streams.
//
// A stream is a text header, "ZanthaStream 1.00" or "ZanthaStream 1.01",
// ended by a 0 byte, LF or CR; then records, each opened by one byte:
//   '?' compact type id, type tag (a string)      declares a type
//   '!' compact type id, 32-bit object id,
//       compact body length, body                 one object
//   '#'                                           the end mark
// Version 1.01 stores strings with a compact length from the header on,
// version 1.00 as 0-terminated text. Object ids are the writer's names for
// its objects; a reference is a 32-bit id, 0 for none. The first object
// is the root.
//
// Classes are made by the creation functions registered on the source with
// addFactory before the read, found by the tag of their type. References
// read inside bodies (DataSource::readStreamable) are filled in at the end
// mark; then every object gets its postRead, first those that called
// noteCountedPtr (the counted-pointer records), each group by ascending id;
// then the finishers that bodies asked for run, in the order first asked.
//
// A counted-pointer record read back counts the slots that were given it,
// and the caller's holder when it holds the root: fewer would free its
// object under a holder, more could never be released, so the count in
// the stream is not taken as it stands.
//
// Every object has one owner at most. The root is the caller's: no owning
// slot is given it, and a record that holds it shares the caller's holder.
// A record owns its pointee only when no owning slot took that object and
// no record before it (by id) owns it, and never owns a record; any other
// record is left holding nothing. A counted slot takes a record only when
// the record's pointee is of the slot's type.
//
// What a read leaves behind: the root, handed out in a counted pointer, and
// whatever the objects hold of one another. Objects that nothing refers to,
// and every object but the root of a stream that stops before its end
// mark, are deleted; what a slot that stays still holds is never freed
// with them: the object that would free it stays too (a record lets it go
// instead). A read that fails before any reference is filled deletes
// everything it made; one that fails later (a postRead that throws) ends
// as if it had worked and its root were dropped at once.
#pragma once

#include <map>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/DataSource.h"
#include "base/Refcountable.h"
#include "base/Streamable.h"
#include "base/counted_ptr.h"
#include "base/orvel_string.h"

class StreamReader : public orvel::Refcountable {
public:
    using CreateFunc = orvel::Streamable* (*)();

    // Registers a class on the source, by the tag of an object that create
    // makes. The first registration of a tag stands, and only then is that
    // object's registerTypes called. The first call on a source attaches a
    // reader to it and registers the counted-pointer record.
    static void addFactory(orvel::DataSource& source, CreateFunc create);
    // Reads one stream and returns its root, null when there is none. Any
    // error is logged, fails the source and gives null. The reader is
    // detached afterwards: the next stream needs its types registered again.
    static orvel::counted_ptr<orvel::Streamable> read(orvel::DataSource& source);

    // major × 100 + minor of the stream being read; -1 before its header.
    int version() const { return version_; }

    // The source's hooks (see DataSource).
    void noteCountedPtr() { counted_ = true; }
    void addReference(unsigned id, void* slot, orvel::DataSource::FillSlot fill, orvel::DataSource::Hold hold,
                      unsigned index) {
        references_.push_back({slot, fill, id, index, noTarget, hold, false});
    }
    void addReferences(const std::vector<unsigned>& ids, void* list, orvel::DataSource::FillSlot fill,
                       orvel::DataSource::Hold hold);
    std::vector<unsigned>& idBuffer() { return ids_; }
    orvel::ReadFinisher* finisher(orvel::ReadFinisher* (*make)());

private:
    // The target of a null reference.
    static constexpr unsigned noTarget = 0xFFFFFFFF;

    struct Object {
        orvel::Streamable* object;
        // Set for counted-pointer records once references are filled.
        orvel::CountedRecord* record;
        unsigned id;
        // Slots that were given this object; none (and not the root): it
        // is deleted after the read.
        unsigned holders;
        // The references its body read, [first, end) in reading order; a
        // record's pointee is its first.
        unsigned firstReference;
        unsigned endReference;
        // It called noteCountedPtr: its postRead comes first.
        bool counted;
        // An owning slot or a record owns it.
        bool owned;
        // Deleting what nothing refers to would free it.
        bool freed;
    };
    struct Reference {
        void* slot;
        orvel::DataSource::FillSlot fill;
        unsigned id;
        // The element of a list.
        unsigned index;
        // Index of the object found for id; none for id 0.
        unsigned target;
        orvel::DataSource::Hold hold;
        // The slot holds its target.
        bool filled;
    };

    StreamReader() = default;
    ~StreamReader() override;

    static StreamReader* attach(orvel::DataSource& source);
    static void detach(orvel::DataSource& source);
    void enter(orvel::DataSource& source, CreateFunc create);

    orvel::counted_ptr<orvel::Streamable> readStream(orvel::DataSource& source);
    bool readDeclaration(orvel::DataSource& source);
    bool readObject(orvel::DataSource& source);
    CreateFunc typeFor(unsigned id) const;
    void fixUp();
    unsigned findTargets();
    void keepLastCountedReads(unsigned counted);
    void fillCounted();
    orvel::counted_ptr<orvel::Streamable> handOut();
    void deleteUnheld(const orvel::Streamable* root);
    void keepWhatStaysHeld();
    void deleteObjects(bool keepRoot);
    void abandon();
    void finish();

    std::map<orvel_string, CreateFunc> factories_;
    // Types declared by the stream: small ids in a table, others in a map.
    std::vector<CreateFunc> types_;
    std::unordered_map<unsigned, CreateFunc> farTypes_;
    orvel_string tag_;
    std::vector<Object> objects_;
    std::vector<Reference> references_;
    std::vector<unsigned> ids_;
    // The fix-up's work lists, sized once per read: the counted-pointer
    // records by id, the counted references, and a table of counted slots.
    std::vector<unsigned> records_;
    std::vector<unsigned> countedReferences_;
    std::vector<const void*> countedSlots_;
    // The finishers of the read under way, each with the function that made it.
    std::vector<std::pair<orvel::ReadFinisher* (*)(), std::unique_ptr<orvel::ReadFinisher>>> finishers_;
    orvel::Streamable* root_ = nullptr;
    orvel::CountedRecord* rootRecord_ = nullptr;
    int version_ = -1;
    bool counted_ = false;
    // Slots have been given objects: from here on objects go only as their
    // holders let them go.
    bool filled_ = false;
};
