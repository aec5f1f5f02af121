#include "StreamWriter.h"

#include <stdexcept>

#include "base/Debug.h"

namespace orvel {

namespace {

const char header[] = "ZanthaStream 1.01\n";

// Takes bodies while objects are being found: keeps nothing.
class FindingSink : public DataDest {
public:
    DataDest& writeByte(char) override { return *this; }
    DataDest& write(const void*, unsigned) override { return *this; }
};

// Takes one object body at a time, to be written after its length.
class BodySink : public DataDest {
public:
    DataDest& writeByte(char c) override {
        bytes_.push_back((unsigned char)c);
        return *this;
    }
    DataDest& write(const void* data, unsigned count) override {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        bytes_.insert(bytes_.end(), p, p + count);
        return *this;
    }
    void clear() { bytes_.clear(); }
    const unsigned char* data() const { return bytes_.data(); }
    unsigned size() const { return unsigned(bytes_.size()); }

private:
    std::vector<unsigned char> bytes_;
};

// The sink's settings for the stream, given back afterwards.
class SinkSettings {
public:
    explicit SinkSettings(DataDest& dest) : dest_(dest), mode_(dest.stringMode), swap_(dest.swap) {
        dest.swap = false;
    }
    ~SinkSettings() {
        dest_.stringMode = mode_;
        dest_.swap = swap_;
    }
    SinkSettings(const SinkSettings&) = delete;
    SinkSettings& operator=(const SinkSettings&) = delete;

private:
    DataDest& dest_;
    int mode_;
    bool swap_;
};

}  // namespace

bool StreamWriter::write(DataDest& dest, Streamable* root) {
    StreamWriter writer;
    SinkSettings settings(dest);
    try {
        writer.run(dest, root);
    } catch (const std::logic_error& e) {
        debug("Stream writer: %.9000s\n", e.what());
        dest.setFail();
    } catch (...) {
        dest.setFail();
    }
    return dest.good();
}

void StreamWriter::run(DataDest& dest, Streamable* root) {
    if (root)
        idOf(root);
    FindingSink finding;
    finding.context = this;
    finding_ = true;
    for (size_t i = 0; i < objects_.size(); ++i)
        objects_[i].object->write(finding);
    finding_ = false;

    dest.write(header, sizeof header - 1);
    dest.stringMode = stringCompactLength;
    BodySink body;
    body.context = this;
    std::vector<bool> declared;
    // A write() that names an object it did not name before adds to the
    // list; that object is written too.
    for (size_t i = 0; i < objects_.size() && dest.good(); ++i) {
        Streamable* object = objects_[i].object;
        unsigned type = objects_[i].type;
        body.clear();
        object->write(body);
        if (type >= declared.size())
            declared.resize(type + 1);
        if (!declared[type]) {
            declared[type] = true;
            dest.writeByte('?').writeCompact(type).writeString(*tags_[type - 1]);
        }
        dest.writeByte('!').writeCompact(type).writeUInt32(unsigned(i + 1)).writeCompact(body.size());
        dest.write(body.data(), body.size());
    }
    dest.writeByte('#');
}

void StreamWriter::writeReference(DataDest& body, Streamable* object) {
    if (!object) {
        body.writeUInt32(0);
        return;
    }
    unsigned id = idOf(object);
    if (finding_)
        ++objects_[id - 1].references;
    body.writeUInt32(id);
}

void StreamWriter::writeLink(DataDest& body, const Streamable* object) {
    // While objects are being found, the ids known are not yet all there
    // will be; that run's bytes are not kept anyway.
    auto found = finding_ || !object ? ids_.end() : ids_.find(object);
    body.writeUInt32(found == ids_.end() ? 0 : found->second);
}

unsigned StreamWriter::referencesTo(const Streamable* object) const {
    auto found = ids_.find(object);
    return found == ids_.end() ? 0 : objects_[found->second - 1].references;
}

unsigned StreamWriter::idOf(Streamable* object) {
    auto found = ids_.find(object);
    if (found != ids_.end())
        return found->second;
    unsigned id = unsigned(objects_.size() + 1);
    objects_.push_back({object, typeOf(object), 0});
    ids_.emplace(object, id);
    return id;
}

unsigned StreamWriter::typeOf(const Streamable* object) {
    const char* tag = object->typeName();
    if (!tag)
        tag = "";
    auto known = tagPointers_.find(tag);
    if (known != tagPointers_.end())
        return known->second;
    auto entry = typeIds_.emplace(tag, unsigned(tags_.size() + 1));
    if (entry.second)
        tags_.push_back(&entry.first->first);
    tagPointers_.emplace(tag, entry.first->second);
    return entry.first->second;
}

}  // namespace orvel
