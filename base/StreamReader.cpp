#include "StreamReader.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <unordered_set>

#include "base/Debug.h"

using orvel::CountedRecord;
using orvel::DataSource;
using orvel::Streamable;

namespace {

// Type ids below this are kept in a table, larger ones in a map, so that a
// stream cannot make the table large.
constexpr unsigned nearTypes = 1024;
// Ordinary scenes read without growing the tables.
constexpr unsigned readyEntries = 1024;
// The target of a null reference.
constexpr unsigned noTarget = 0xFFFFFFFF;

Streamable* makeCountedRecord() { return new CountedRecord; }

// major × 100 + minor, scanned as the C library does; -1 for anything that
// is not a header.
int headerVersion(const orvel_string& header) {
    int major = 0;
    int minor = 0;
    if (std::sscanf(header.c_str(), "ZanthaStream %d.%d", &major, &minor) != 2)
        return -1;
    long long version = (long long)major * 100 + minor;
    return version >= 0 && version <= 0x7FFFFFFF ? int(version) : -1;
}

}  // namespace

StreamReader::~StreamReader() = default;

void StreamReader::addFactory(DataSource& source, CreateFunc create) { attach(source)->enter(source, create); }

StreamReader* StreamReader::attach(DataSource& source) {
    if (!source.context) {
        StreamReader* reader = new StreamReader;
        reader->ref();
        source.context = reader;
        source.readerTag = reader;
        reader->enter(source, &makeCountedRecord);
    }
    return source.context;
}

void StreamReader::detach(DataSource& source) {
    StreamReader* reader = source.context;
    source.context = nullptr;
    source.readerTag = nullptr;
    if (reader)
        reader->unref();
}

void StreamReader::enter(DataSource& source, CreateFunc create) {
    if (!create)
        return;
    std::unique_ptr<Streamable> probe(create());
    if (!probe)
        return;
    const char* tag = probe->typeName();
    if (factories_.emplace(tag ? tag : "", create).second)
        probe->registerTypes(source);
}

orvel::counted_ptr<Streamable> StreamReader::read(DataSource& source) {
    // Held here as well, so that detaching cannot delete it mid-read.
    orvel::ref_ptr<StreamReader> reader(attach(source));
    orvel::counted_ptr<Streamable> root;
    try {
        root = reader->readStream(source);
    } catch (const std::logic_error& e) {
        orvel::debug("Stream reader: %.9000s\n", e.what());
        reader->abandon();
        source.setFail();
    } catch (...) {
        reader->abandon();
        source.setFail();
    }
    detach(source);
    return root;
}

void StreamReader::addReference(unsigned id, void* slot, DataSource::FillSlot fill, DataSource::Hold hold,
                                unsigned index) {
    references_.push_back({slot, fill, id, index, noTarget, hold});
}

orvel::counted_ptr<Streamable> StreamReader::readStream(DataSource& source) {
    objects_.clear();
    references_.clear();
    types_.clear();
    farTypes_.clear();
    root_ = nullptr;
    rootRecord_ = nullptr;
    filled_ = false;

    source.setStringMode(orvel::stringTerminated);
    orvel_string header;
    source.readString(header);
    version_ = headerVersion(header);
    if (version_ != 100 && version_ != 101)
        return nullptr;
    if (version_ == 101)
        source.setStringMode(orvel::stringCompactLength);

    objects_.reserve(readyEntries);
    references_.reserve(readyEntries);
    bool ended = false;
    for (;;) {
        int c = source.readByte();
        if (c == '?') {
            if (!readDeclaration(source))
                break;
        } else if (c == '!') {
            if (!readObject(source))
                break;
        } else {
            ended = c == '#';
            break;
        }
    }
    // Without the end mark no reference was filled: nothing but the root can
    // be reached.
    if (ended)
        fixUp();
    else
        deleteObjects(true);

    orvel::counted_ptr<Streamable> root = handOut();
    if (ended)
        deleteUnheld(root.get());
    objects_.clear();
    references_.clear();
    root_ = nullptr;
    rootRecord_ = nullptr;
    return root;
}

bool StreamReader::readDeclaration(DataSource& source) {
    unsigned id = source.readCompact();
    source.readString(tag_);
    if (!source.good())
        return false;
    auto found = factories_.find(tag_);
    if (found == factories_.end()) {
        orvel_string message = "no factory registered for a \"" + tag_ + "\"";
        orvel::debug("StreamRead: %.9000s!\n", message.c_str());
        throw std::logic_error(message.c_str());
    }
    if (id < nearTypes) {
        if (id >= types_.size())
            types_.resize(id + 1);
        types_[id] = found->second;
    } else {
        farTypes_[id] = found->second;
    }
    return true;
}

StreamReader::CreateFunc StreamReader::typeFor(unsigned id) const {
    if (id < types_.size())
        return types_[id];
    auto found = farTypes_.find(id);
    return found == farTypes_.end() ? nullptr : found->second;
}

bool StreamReader::readObject(DataSource& source) {
    unsigned type = source.readCompact();
    unsigned id = source.readUInt32();
    unsigned length = source.readCompact();
    if (!source.good())
        return false;
    bool seekable = source.isSeekable();
    unsigned long long end = seekable ? (unsigned long long)source.position() + length : 0;

    CreateFunc create = typeFor(type);
    std::unique_ptr<Streamable> object(create ? create() : nullptr);
    if (!object) {
        source.skip(length);
        return true;
    }
    // The root is handed out in a holder of its own; a record there would
    // end up owned twice.
    if (objects_.empty() && dynamic_cast<CountedRecord*>(object.get()))
        throw std::logic_error("the root is a counted-pointer record");

    counted_ = false;
    object->read(source);
    objects_.push_back({object.get(), nullptr, id, 0, counted_, false});
    Streamable* made = object.release();
    if (!root_)
        root_ = made;

    // The body's length, not what read took, decides where the next record is.
    if (seekable && source.position() != end) {
        if (end > 0xFFFFFFFFull)
            source.setFail();
        else
            source.seek(unsigned(end));
    }
    return true;
}

void StreamReader::fixUp() {
    auto byId = [](const Object& a, const Object& b) { return a.id < b.id; };
    if (!std::is_sorted(objects_.begin(), objects_.end(), byId))
        std::stable_sort(objects_.begin(), objects_.end(), byId);

    // Every reference is looked up before any slot is given anything, so a
    // bad one leaves all objects unshared and deletable.
    unsigned n = unsigned(objects_.size());
    for (Reference& r : references_) {
        if (r.id == 0)
            continue;
        // Ids from StreamWriter count up from 1 in stream order.
        unsigned i = r.id - 1;
        if (i >= n || objects_[i].id != r.id) {
            auto found = std::lower_bound(objects_.begin(), objects_.end(), r.id,
                                          [](const Object& o, unsigned id) { return o.id < id; });
            if (found == objects_.end() || found->id != r.id)
                throw std::logic_error("Bad pointer");
            i = unsigned(found - objects_.begin());
        }
        r.target = i;
    }
    // A counted slot read more than once keeps the last record it was
    // given, as an assignment would; the earlier ones must not count.
    std::unordered_set<void*> countedSlots;
    for (auto r = references_.rbegin(); r != references_.rend(); ++r) {
        if (r->hold == DataSource::Hold::count && !countedSlots.insert(r->slot).second)
            r->fill = nullptr;
    }
    for (Object& o : objects_) {
        if (o.counted)
            o.record = dynamic_cast<CountedRecord*>(o.object);
    }

    filled_ = true;
    unsigned rootRefused = 0;
    for (const Reference& r : references_) {
        if (r.hold == DataSource::Hold::count)
            continue;
        if (r.target == noTarget) {
            r.fill(r.slot, r.index, nullptr);
            continue;
        }
        Object& o = objects_[r.target];
        // The caller's holder owns the root; an owner taking it would
        // delete it under that holder.
        if (r.hold == DataSource::Hold::own && o.object == root_) {
            ++rootRefused;
            continue;
        }
        if (r.fill(r.slot, r.index, o.object)) {
            ++o.holders;
            if (r.hold == DataSource::Hold::own)
                o.owned = true;
        }
    }
    if (rootRefused > 0)
        orvel::debug("!!!Stream reader: owners named the root %u times; it stays the caller's\n", rootRefused);
    fillCounted();

    for (Object& o : objects_) {
        if (o.counted)
            o.object->postRead();
    }
    for (Object& o : objects_) {
        if (!o.counted)
            o.object->postRead();
    }
}

// A record of the stream that holds the root shares it with the caller,
// who takes the count fillCounted gave it.
orvel::counted_ptr<Streamable> StreamReader::handOut() {
    if (!root_)
        return nullptr;
    orvel::counted_ptr<Streamable> root = rootRecord_ ? orvel::counted_ptr<Streamable>::adopt(root_, rootRecord_)
                                                      : orvel::counted_ptr<Streamable>(root_);
    root_ = nullptr;
    return root;
}

// After the root is handed out, so that what holds it cannot take it along.
void StreamReader::deleteUnheld(const Streamable* root) {
    unsigned dropped = 0;
    for (Object& o : objects_) {
        if (o.holders == 0 && o.object != root) {
            delete o.object;
            ++dropped;
        }
    }
    if (dropped > 0)
        orvel::debug("!!!Stream reader: %u unreferenced objects deleted\n", dropped);
}

// Counted holders get their records once every other slot, the records'
// own included, holds its object, and before any postRead.
void StreamReader::fillCounted() {
    // Who owns what is settled first: a record that may not own its pointee
    // is left holding nothing, and its own slot no longer counts.
    std::unordered_map<const Streamable*, Object*> byAddress;
    for (Object& o : objects_) {
        CountedRecord* record = o.record;
        if (!record || !record->read_)
            continue;
        if (byAddress.empty()) {
            for (Object& each : objects_)
                byAddress.emplace(each.object, &each);
        }
        Object& pointee = *byAddress.at(record->read_);
        if (!pointee.record && !pointee.owned) {
            pointee.owned = true;
            // The caller's holder of the root will share this record: it
            // counts, so the record outlives what the stream drops.
            if (pointee.object == root_) {
                rootRecord_ = record;
                ++o.holders;
            }
            continue;
        }
        record->read_ = nullptr;
        --pointee.holders;
    }
    for (const Reference& r : references_) {
        if (r.hold != DataSource::Hold::count || !r.fill || r.target == noTarget)
            continue;
        Object& o = objects_[r.target];
        if (o.record && r.fill(r.slot, r.index, o.record))
            ++o.holders;
    }
    // A count is what the stream holds of the record: fewer would free the
    // object under a holder, more could never be released. Holders were
    // filled without touching counts, and none was let go meanwhile.
    for (Object& o : objects_) {
        if (o.record)
            o.record->count = o.holders;
    }
}

void StreamReader::deleteObjects(bool keepRoot) {
    for (Object& o : objects_) {
        if (!keepRoot || o.object != root_)
            delete o.object;
    }
    objects_.clear();
    references_.clear();
    if (!keepRoot)
        root_ = nullptr;
}

// Before any slot was filled nothing is shared: everything goes. After,
// the read ends as one that worked would, and the root is dropped as its
// caller would drop it: whatever the root owns goes with it.
void StreamReader::abandon() {
    if (!filled_) {
        deleteObjects(false);
    } else if (root_) {
        orvel::counted_ptr<Streamable> root = handOut();
        deleteUnheld(root.get());
    }
    objects_.clear();
    references_.clear();
    root_ = nullptr;
    rootRecord_ = nullptr;
}
