// The stream block of a batch's internals.
#include "base/Debug.h"
#include "scene/Branch.h"
#include "scene/BunchHolder.h"
#include "scene/GeoBunchInternals.h"
#include "scene/SceneStream.h"
#include "scene/render/Material.h"
#include "scene/render/Texture.h"

namespace kessa {

namespace {

// References a record names a second time are passed over: the reader fills
// slots in order, and a second fill would let go of the first object while
// the reader still lists it.
template <class T>
void readOnce(orvel::DataSource& in, orvel::ref_ptr<T>& slot, unsigned& named, unsigned bit) {
    if (named & bit) {
        stream::skipReference(in);
        return;
    }
    named |= bit;
    stream::readHeldReference(in, slot);
}

// A count of 4-byte references that the source cannot hold fails it.
bool referencesFit(orvel::DataSource& in, long long count) {
    if (in.isSeekable() && (unsigned long long)count * 4 > in.bytesRemaining()) {
        in.setFail();
        return false;
    }
    return true;
}

}  // namespace

void GeoBunchInternals::readLegacyTextures(orvel::DataSource& in) {
    int count = in.readInt32();
    if (!in.good() || count <= 0)
        return;
    if (!referencesFit(in, count)) {
        orvel::debug("GeoBunchInternals::read() - %d legacy textures do not fit in the record\n", count);
        return;
    }
    if (count > 2)
        orvel::debug("GeoBunchInternals::read() - %d legacy textures, only the first 2 are kept\n", count);
    for (int i = 0; i < count && in.good(); ++i) {
        if (i < 2)
            stream::readWeakReference(in, legacyTextures_[i]);
        else
            stream::skipReference(in);
    }
}

void GeoBunchInternals::applyLegacyMaterial() {
    const unsigned flags = legacy_.flags;
    Material m(Material::Color{1, 1, 1, 1});
    if (Material* old = stream::resolve<Material>(legacyMaterial_))
        m = *old;
    m.setLighting(flags & 0x1);
    m.setSphereMap(flags & 0x4);
    m.setSmoothShading(!(flags & 0x10));
    if (flags & 0x400) {
        m.setVertexColours(true);
        m.setVertexNormals(true);
    }
    for (int slot = 0; slot < 2; ++slot)
        if (Texture* texture = stream::resolve<Texture>(legacyTextures_[slot]))
            m.setTexture(Texture::create(*texture), slot);
    MaterialRef& ref = ownerBunch_->material();
    ref.setMaterial(Material::share(m));
    ref.first = flags & 0x8 ? 0 : 1;
    ref.second = flags & 0x2 ? 1 : 0;
}

void GeoBunchInternals::readTexCoordSlots(orvel::DataSource& in, bool take) {
    int count = in.readInt32();
    if (!in.good() || count <= 0)
        return;
    if (!referencesFit(in, count)) {
        orvel::debug("GeoBunchInternals::read() - %d texture-coordinate sets do not fit in the record\n", count);
        return;
    }
    if (count > 2)
        orvel::debug("GeoBunchInternals::read() - %d texture-coordinate sets, only the first 2 are kept\n", count);
    for (int i = 0; i < count && in.good(); ++i) {
        if (take && i < 2)
            stream::readHeldReference(in, texCoords_[i]);
        else
            stream::skipReference(in);
    }
}

void GeoBunchInternals::readFrames(orvel::DataSource& in) {
    frames_.clear();
    unsigned count = in.readCompact();
    if (!in.good())
        return;
    // Every frame takes at least its count's byte.
    if (in.isSeekable() && count > in.bytesRemaining()) {
        orvel::debug("GeoBunchInternals::read() - %u animation frames do not fit in the record\n", count);
        in.setFail();
        return;
    }
    auto resize = [](void* frame, unsigned n) -> void* {
        auto* f = static_cast<GeoBunch::Frame*>(frame);
        if (n == 0)
            f->release();
        else
            f->resize(n);
        return f->data();
    };
    for (unsigned k = 0; k < count; ++k) {
        unsigned size = in.readCompact();
        if (!in.good())
            break;
        GeoBunch::Frame frame;
        // Frames are kept as they lie in memory, in any byte order.
        if (size > 0 && !stream::readWords(in, resize, &frame, size, sizeof(GeoBunch::Float3), false)) {
            orvel::debug("GeoBunchInternals::read() - the stream ends inside animation[%u]\n", k);
            break;
        }
        frames_.push_back(std::move(frame));
    }
    if (!in.good())
        frames_.clear();
}

void GeoBunchInternals::read(orvel::DataSource& in) {
    legacy_.present = false;
    unsigned named = 0;
    while (unsigned tag = stream::nextTag(in)) {
        switch (tag) {
        case 1:
            in >> valid_;
            break;
        case 2:
            stream::skipReference(in);
            stream::skipReference(in);
            break;
        case 3:
            legacy_.flags = in.readUInt32();
            legacy_.present = true;
            break;
        case 4:
            legacy_.value4 = in.readInt32();
            break;
        case 5:
            legacy_.value5 = in.readInt32();
            break;
        case 10:
            readOnce(in, strips_, named, 1u << 0);
            break;
        case 11:
            readOnce(in, indices_, named, 1u << 1);
            break;
        case 12:
            readOnce(in, vertices_, named, 1u << 2);
            break;
        case 13:
            readOnce(in, colors_, named, 1u << 3);
            break;
        case 14:
            readOnce(in, normals_, named, 1u << 4);
            break;
        case 15:
            readTexCoordSlots(in, !(named & 1u << 5));
            named |= 1u << 5;
            break;
        case 20:
            stream::readWeakReference(in, legacyMaterial_);
            break;
        case 21:
            readLegacyTextures(in);
            break;
        case 22:
            readFrames(in);
            break;
        default:
            break;
        }
    }
}

void GeoBunchInternals::postRead() {
    if (legacy_.present && ownerBunch_)
        applyLegacyMaterial();
    legacyMaterial_ = nullptr;
    legacyTextures_[0] = legacyTextures_[1] = nullptr;
    refreshPointers();
    dropTriangleCount();
    verify();
}

void GeoBunchInternals::write(orvel::DataDest& out) {
    using stream::writeTag;
    writeTag(out, 1);
    out << valid_;
    writeTag(out, 2);
    out.writeStreamable(ownerBunch_);
    out.writeLink(ownerBranch_ ? &ownerBranch_->holderBranch() : nullptr);
    writeTag(out, 10);
    out.writeStreamable(strips_.get());
    writeTag(out, 11);
    out.writeStreamable(indices_.get());
    writeTag(out, 12);
    out.writeStreamable(vertices_.get());
    writeTag(out, 13);
    out.writeStreamable(colors_.get());
    writeTag(out, 14);
    out.writeStreamable(normals_.get());
    writeTag(out, 15);
    out.writeInt32(2);
    out.writeStreamable(texCoords_[0].get());
    out.writeStreamable(texCoords_[1].get());
    writeTag(out, 22);
    out.writeCompact(unsigned(frames_.size()));
    for (const GeoBunch::Frame& frame : frames_) {
        out.writeCompact(frame.size());
        stream::writeWords(out, frame.data(), frame.size(), sizeof(GeoBunch::Float3), false);
    }
    writeTag(out, 0);
}

}  // namespace kessa
