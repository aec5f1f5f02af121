#include "StreamReader.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>

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
// The fewest bytes an object record and a reference take, and the most
// entries a table is made ready for from the length of the data alone.
constexpr unsigned smallestRecord = 7;
constexpr unsigned smallestReference = 4;
constexpr unsigned mostReadyEntries = 1u << 20;

// Room for what the data can hold, from ordinary scenes up to a bound.
unsigned readyFor(unsigned bytes, unsigned each) {
    return std::min(std::max(bytes / each, readyEntries), mostReadyEntries);
}

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

// Room for the whole list at once: its ids are already read, so its count
// is no larger than the data that held them.
void StreamReader::addReferences(const std::vector<unsigned>& ids, void* list, DataSource::FillSlot fill,
                                 DataSource::Hold hold) {
    if (references_.capacity() - references_.size() < ids.size())
        references_.reserve(std::max(references_.size() + ids.size(), 2 * references_.capacity()));
    for (size_t i = 0; i < ids.size(); ++i)
        references_.push_back({list, fill, ids[i], unsigned(i), noTarget, hold, false});
}

orvel::counted_ptr<Streamable> StreamReader::readStream(DataSource& source) {
    objects_.clear();
    references_.clear();
    types_.clear();
    farTypes_.clear();
    root_ = nullptr;
    rootRecord_ = nullptr;
    filled_ = false;
    finishers_.clear();

    source.setStringMode(orvel::stringTerminated);
    orvel_string header;
    source.readString(header);
    version_ = headerVersion(header);
    if (version_ != 100 && version_ != 101)
        return nullptr;
    if (version_ == 101)
        source.setStringMode(orvel::stringCompactLength);

    // A source that knows its length lets the tables be made once.
    unsigned left = source.isSeekable() ? source.bytesRemaining() : 0;
    objects_.reserve(readyFor(left, smallestRecord));
    references_.reserve(readyFor(left, smallestReference));
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
    if (ended) {
        fixUp();
        finish();
    } else {
        deleteObjects(true);
    }
    finishers_.clear();

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
    unsigned firstReference = unsigned(references_.size());
    object->read(source);
    objects_.push_back({object.get(), nullptr, id, 0, firstReference, unsigned(references_.size()), counted_, false, false});
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

orvel::ReadFinisher* StreamReader::finisher(orvel::ReadFinisher* (*make)()) {
    for (auto& f : finishers_)
        if (f.first == make)
            return f.second.get();
    finishers_.emplace_back(make, std::unique_ptr<orvel::ReadFinisher>(make()));
    return finishers_.back().second.get();
}

// A finisher may ask for another: it joins the end of the list.
void StreamReader::finish() {
    for (std::size_t i = 0; i < finishers_.size(); ++i)
        finishers_[i].second->finish();
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
    finishers_.clear();
    root_ = nullptr;
    rootRecord_ = nullptr;
}
