#include "scene/GeoBunch.h"

#include "base/StreamReader.h"
#include "scene/BunchHolder.h"
#include "scene/GeoBunchInternals.h"
#include "scene/SceneStream.h"
#include "scene/StorageStats.h"

namespace kessa {

orvel::Heap& generalGeometryHeap() {
    static orvel::Heap heap;
    return heap;
}

orvel::Heap& colorHeap() {
    static orvel::Heap heap;
    return heap;
}

orvel::Heap& normalHeap() {
    static orvel::Heap heap;
    return heap;
}

orvel::Heap& texCoordHeap() {
    static orvel::Heap heap;
    return heap;
}

orvel::Heap& frameHeap() {
    static orvel::Heap heap;
    return heap;
}

namespace {

// The process-wide list of batches, linked through the batches themselves so
// that a batch leaves it in constant time.
GeoBunch* firstBunch = nullptr;
GeoBunch* lastBunch = nullptr;

template <class T>
orvel::Streamable* create() {
    return new T;
}

}  // namespace

GeoBunch::GeoBunch() : internals_(new GeoBunchInternals) {
    internals_->ownerBunch_ = this;
    if (!firstBunch)
        addStorageSource(&GeoBunchInternals::forAll);
    prev_ = lastBunch;
    (lastBunch ? lastBunch->next_ : firstBunch) = this;
    lastBunch = this;
}

GeoBunch::~GeoBunch() {
    if (BunchHolder* branch = internals_->ownerBranch_) {
        internals_->ownerBranch_ = nullptr;
        branch->forgetBunch(this);
    }
    internals_.reset();
    (prev_ ? prev_->next_ : firstBunch) = next_;
    (next_ ? next_->prev_ : lastBunch) = prev_;
}

GeoBunch* GeoBunch::first() { return firstBunch; }

int GeoBunch::vertexCount() const {
    const auto& v = internals_->vertices_;
    return v ? int(v->size()) : 0;
}

int GeoBunch::triangleCount() {
    internals_->countTriangles();
    return internals_->triangleCount_;
}

void GeoBunch::addFlags(unsigned word) { internals_->dirty_ |= word; }

unsigned GeoBunch::flags() const { return internals_->dirty_; }

void GeoBunch::setAnimation(const FrameList& frames) { internals_->setAnimation(frames); }

GeoBunch::FrameList& GeoBunch::animationFrames() { return internals_->frames_; }

void GeoBunch::setStripData(orvel::ref_ptr<strip_data> strips) {
    internals_->strips_ = std::move(strips);
    internals_->dropTriangleCount();
    internals_->streamsChanged();
}

void GeoBunch::setIndexData(orvel::ref_ptr<index_data> indices) {
    internals_->indices_ = std::move(indices);
    internals_->dropTriangleCount();
    internals_->streamsChanged();
}

void GeoBunch::setVertexData(orvel::ref_ptr<vertex_data> vertices, bool recomputeBounds) {
    GeoBunchInternals& in = *internals_;
    in.vertices_ = std::move(vertices);
    in.refreshVertexPointer();
    in.dropTriangleCount();
    in.streamsChanged();
    // Frames hold one position per vertex; frames of another count would be
    // blended past their end.
    unsigned n = in.vertices_ ? in.vertices_->size() : 0;
    for (const Frame& f : in.frames_) {
        if (f.size() != n) {
            in.frames_.clear();
            break;
        }
    }
    if (recomputeBounds)
        in.computeBounds();
}

void GeoBunch::setColorData(orvel::ref_ptr<color_data> colors) {
    internals_->colors_ = std::move(colors);
    internals_->refreshColorPointer();
    internals_->streamsChanged();
}

void GeoBunch::setNormalData(orvel::ref_ptr<normal_data> normals) {
    internals_->normals_ = std::move(normals);
    internals_->refreshNormalPointer();
    internals_->streamsChanged();
}

void GeoBunch::setTexcoordData(orvel::ref_ptr<texcoord_data> coords, int set) {
    if (set != 0 && set != 1)
        return;
    internals_->texCoords_[set] = std::move(coords);
    internals_->refreshTexCoordPointer(set);
    internals_->streamsChanged();
}

// The caller is about to replace the stream in the slot.
orvel::ref_ptr<GeoBunch::vertex_data>& GeoBunch::vertexDataSlot() {
    internals_->streamsChanged();
    return internals_->vertices_;
}

orvel::ref_ptr<GeoBunch::texcoord_data>* GeoBunch::texcoordDataSlot(int set) {
    if (set != 0 && set != 1)
        return nullptr;
    internals_->streamsChanged();
    return &internals_->texCoords_[set];
}

void GeoBunch::registerTypes(orvel::DataSource& source) {
    StreamReader::addFactory(source, create<GeoBunchInternals>);
    StreamReader::addFactory(source, create<strip_data>);
    StreamReader::addFactory(source, create<index_data>);
    StreamReader::addFactory(source, create<vertex_data>);
    StreamReader::addFactory(source, create<normal_data>);
    StreamReader::addFactory(source, create<color_data>);
    StreamReader::addFactory(source, create<texcoord_data>);
}

// The batch takes the internals its record names, in place of the ones it was
// made with, unless another batch took them first.
bool GeoBunch::adoptInternals(void* bunch, unsigned, orvel::Streamable* object) {
    auto* self = static_cast<GeoBunch*>(bunch);
    auto* in = dynamic_cast<GeoBunchInternals*>(object);
    if (!in || in->ownerBunch_)
        return false;
    in->ownerBunch_ = self;
    self->internals_.reset(in);
    return true;
}

void GeoBunch::read(orvel::DataSource& in) {
    bool internalsNamed = false;
    while (unsigned tag = stream::nextTag(in)) {
        switch (tag) {
        case 1:
            if (internalsNamed)
                stream::skipReference(in);
            else
                stream::readOwnedReference(in, this, &adoptInternals);
            internalsNamed = true;
            break;
        case 2:
            bounds_.read(in);
            break;
        default:
            break;
        }
    }
}

void GeoBunch::write(orvel::DataDest& out) {
    stream::writeTag(out, 1);
    out.writeStreamable(internals_.get());
    stream::writeTag(out, 2);
    bounds_.write(out);
    stream::writeTag(out, 0);
}

}  // namespace kessa
