// The element streams of triangle batches: one reference-counted, streamable
// array per kind of per-vertex data, shared by the batches that hold it.
//
// Stream block of every kind: 1 the reference count (int32), 2 the element
// count (compact) and the elements, each as 32-bit words in the stream's
// byte order (a colour is one word holding its four bytes); 0 ends it.
#pragma once

#include "base/DataDest.h"
#include "base/DataSource.h"
#include "base/Debug.h"
#include "base/StreamWriter.h"
#include "scene/GeoBunch.h"
#include "scene/SceneStream.h"

namespace kessa {

class GeoBunch::RefStrm : public orvel::Refcountable, public orvel::Streamable {
public:
    virtual unsigned elementCount() const = 0;
    // Bytes the elements take.
    virtual unsigned long long byteCount() const = 0;
};

// The array and its stream block, for one element type.
template <class E, orvel::Heap& (*heap)()>
class ElementStream : public GeoBunch::RefStrm, public ElementArray<E, heap> {
    static_assert(sizeof(E) % 4 == 0, "elements are 32-bit words");

public:
    unsigned elementCount() const override { return this->size(); }
    unsigned long long byteCount() const override { return (unsigned long long)this->size() * sizeof(E); }

    // The stored reference count is passed over: a stream read back counts
    // the holders that took it, not the holders it had when written.
    void read(orvel::DataSource& in) override;
    void write(orvel::DataDest& out) override;
};

class GeoBunch::strip_data final : public ElementStream<int, generalGeometryHeap> {
public:
    const char* typeName() const override { return "zanthorium::kessa::GeoBunch::strip_data"; }
};

class GeoBunch::index_data final : public ElementStream<unsigned, generalGeometryHeap> {
public:
    const char* typeName() const override { return "zanthorium::kessa::GeoBunch::index_data"; }
};

class GeoBunch::vertex_data final : public ElementStream<GeoBunch::Float3, generalGeometryHeap> {
public:
    const char* typeName() const override { return "zanthorium::kessa::GeoBunch::vertex_data"; }
};

class GeoBunch::normal_data final : public ElementStream<GeoBunch::Float3, normalHeap> {
public:
    const char* typeName() const override { return "zanthorium::kessa::GeoBunch::normal_data"; }
};

class GeoBunch::color_data final : public ElementStream<GeoBunch::Color4, colorHeap> {
public:
    const char* typeName() const override { return "zanthorium::kessa::GeoBunch::color_data"; }
};

class GeoBunch::texcoord_data final : public ElementStream<GeoBunch::Float2, texCoordHeap> {
public:
    const char* typeName() const override { return "zanthorium::kessa::GeoBunch::texcoord_data"; }
};

namespace stream {

// Reads count elements of 32-bit words into array as they lie in the source,
// byte-reversed when the source's order differs from memory's (reverse).
// A count the source cannot hold fails the source and leaves the array
// empty, before anything is allocated for it. False on any failure.
bool readWords(orvel::DataSource& in, void* (*resize)(void* array, unsigned n), void* array, unsigned count,
               unsigned elementSize, bool reverse);
// Writes count × elementSize bytes of 32-bit words, byte-reversed when asked.
void writeWords(orvel::DataDest& out, const void* data, unsigned count, unsigned elementSize, bool reverse);

// Whether 32-bit words of a source or sink with this swap flag are in the
// other order than memory's.
inline bool wordsReversed(bool swap) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return !swap;
#else
    return swap;
#endif
}

}  // namespace stream

template <class E, orvel::Heap& (*heap)()>
void ElementStream<E, heap>::read(orvel::DataSource& in) {
    while (unsigned tag = stream::nextTag(in)) {
        switch (tag) {
        case 1:
            in.readUInt32();
            break;
        case 2: {
            unsigned n = in.readCompact();
            if (!in.good())
                break;
            if (n == 0) {
                this->release();
                break;
            }
            auto resize = [](void* array, unsigned count) -> void* {
                auto* self = static_cast<ElementStream*>(array);
                if (count == 0)
                    self->release();
                else
                    self->resize(count);
                return self->data();
            };
            if (!stream::readWords(in, resize, this, n, sizeof(E), stream::wordsReversed(in.swap))) {
                orvel::debug("%s: the stream ends inside its %u elements\n", typeName(), n);
                return;
            }
            break;
        }
        default:
            break;
        }
    }
}

template <class E, orvel::Heap& (*heap)()>
void ElementStream<E, heap>::write(orvel::DataDest& out) {
    stream::writeTag(out, 1);
    out.writeUInt32(out.context ? out.context->referencesTo(this) : refCount());
    stream::writeTag(out, 2);
    out.writeCompact(this->size());
    stream::writeWords(out, this->data(), this->size(), sizeof(E), stream::wordsReversed(out.swap));
    stream::writeTag(out, 0);
}

}  // namespace kessa
