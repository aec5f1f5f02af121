#include "scene/OldGeoSet.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "base/Debug.h"
#include "scene/BunchSplitter.h"
#include "scene/GeoBunchInternals.h"
#include "scene/GeometryBranch.h"
#include "scene/Object.h"
#include "scene/SceneStream.h"
#include "scene/render/Material.h"
#include "scene/render/Texture.h"

namespace kessa {

namespace {

// Sets that polygon branches named: each is kept until a later set is
// converted.
std::vector<std::unique_ptr<OldGeoSet>>& keptSets() {
    static std::vector<std::unique_ptr<OldGeoSet>> sets;
    return sets;
}

// A compact count and the elements as they lie in memory, never swapped.
template <class E>
void readArray(orvel::DataSource& in, std::vector<E>& array) {
    unsigned n = in.readCompact();
    array.clear();
    if (!in.good() || n == 0)
        return;
    auto resize = [](void* a, unsigned count) -> void* {
        auto* v = static_cast<std::vector<E>*>(a);
        v->resize(count);
        return v->data();
    };
    stream::readWords(in, resize, &array, n, sizeof(E), false);
}

template <class Stream, class E>
orvel::ref_ptr<Stream> streamOf(const E* first, long long count) {
    orvel::ref_ptr<Stream> s(new Stream);
    s->assign(first, unsigned(count));
    return s;
}

const char* objectName(const GeometryBranch* branch) { return branch->owner() ? branch->owner()->name().c_str() : ""; }

}  // namespace

OldGeoSet::~OldGeoSet() = default;

int OldGeoSet::keptCount() { return int(keptSets().size()); }

void OldGeoSet::readWaiting(orvel::DataSource& in) { stream::readOwnedReference(in, nullptr, &takeWaiting); }

bool OldGeoSet::takeWaiting(void*, unsigned, orvel::Streamable* object) {
    auto* set = dynamic_cast<OldGeoSet*>(object);
    std::vector<std::unique_ptr<OldGeoSet>>& kept = keptSets();
    if (!set || std::any_of(kept.begin(), kept.end(), [&](const std::unique_ptr<OldGeoSet>& s) { return s.get() == set; }))
        return false;
    kept.emplace_back(set);
    return true;
}

void OldGeoSet::readFrames(orvel::DataSource& in) {
    frames_.clear();
    unsigned count = in.readCompact();
    // Every frame takes at least its count's byte.
    if (!in.good() || (in.isSeekable() && count > in.bytesRemaining())) {
        in.setFail();
        return;
    }
    auto resize = [](void* frame, unsigned n) -> void* {
        auto* f = static_cast<GeoBunch::Frame*>(frame);
        f->resize(n);
        return f->data();
    };
    for (unsigned k = 0; k < count && in.good(); ++k) {
        unsigned size = in.readCompact();
        GeoBunch::Frame frame;
        if (in.good() && (size == 0 || stream::readWords(in, resize, &frame, size, sizeof(GeoBunch::Float3), false)))
            frames_.push_back(std::move(frame));
    }
    if (!in.good())
        frames_.clear();
}

void OldGeoSet::read(orvel::DataSource& in) {
    while (unsigned tag = stream::nextTag(in)) {
        switch (tag) {
        case 1: readArray(in, colours_); break;
        case 2: readArray(in, normals_); break;
        case 3: readArray(in, positions_); break;
        case 4: readArray(in, texCoords_[0]); break;
        case 5: readArray(in, texCoords_[1]); break;
        case 6: readArray(in, indices_); break;
        case 7: readArray(in, strips_); break;
        case 10: {
            unsigned n = in.readCompact();
            // The records' reference slots are filled at the stream's end:
            // the list must never move, so it is sized once.
            if (!in.good() || counted_)
                break;
            if (in.isSeekable() && (unsigned long long)n * 16 > in.bytesRemaining()) {
                in.setFail();
                break;
            }
            primitives_.resize(n);
            counted_ = true;
            break;
        }
        case 11: {
            if (filled_ >= primitives_.size())
                throw std::logic_error("Bad geoset");
            Primitive& p = primitives_[filled_++];
            in.readUInt32();
            stream::readWeakReference(in, p.material);
            stream::readWeakReference(in, p.textures[0]);
            stream::readWeakReference(in, p.textures[1]);
            in >> p.flags >> p.stripEntries >> p.vertexCount >> p.firstVertex;
            break;
        }
        case 20: stream::readWeakReference(in, owner_); break;
        case 21: readFrames(in); break;
        case 22: in.readUInt32(), in.readUInt32(), in.readUInt32(); break;
        case 23: in.readUInt32(), in.readUInt32(); break;
        default: break;
        }
    }
}

void OldGeoSet::postRead() {
    std::vector<std::unique_ptr<OldGeoSet>>& kept = keptSets();
    kept.erase(std::remove_if(kept.begin(), kept.end(),
                              [this](const std::unique_ptr<OldGeoSet>& s) { return s->converted_ && s.get() != this; }),
               kept.end());
    for (std::size_t i = 0; i < filled_ && owner_; ++i)
        convert(primitives_[i], int(i));
    converted_ = true;
}

void OldGeoSet::convert(const Primitive& p, int number) {
    auto bit = [&](int b) { return (p.flags >> b & 1) != 0; };
    const long long first = p.firstVertex, count = p.vertexCount, end = first + count;
    Texture* textures[2];
    bool useTexture[2];
    for (int slot = 0; slot < 2; ++slot) {
        textures[slot] = stream::resolve<Texture>(p.textures[slot]);
        if (textures[slot] && textures[slot]->file().str().empty())
            textures[slot] = nullptr;
        useTexture[slot] = textures[slot] && bit(3 + slot);
    }
    const int sets = (!useTexture[0] && !bit(8)) || bit(11) ? 0 : useTexture[1] || bit(9) ? 2 : 1;

    // Every range the record names must lie inside its array.
    bool fits = first >= 0 && count >= 0 && end <= (long long)positions_.size() &&
                (!bit(6) || end <= (long long)colours_.size()) && (!bit(5) || end <= (long long)normals_.size());
    for (int set = 0; set < sets; ++set)
        fits = fits && end <= (long long)texCoords_[set].size();
    for (const GeoBunch::Frame& frame : frames_)
        fits = fits && end <= (long long)frame.size();
    const long long entries = p.stripEntries, stripsLeft = (long long)(strips_.size() - stripCursor_);
    long long plain = 0, walked = 0;
    std::size_t firstStrip = stripCursor_;
    if (entries >= 0 && entries <= stripsLeft) {
        if (entries > 0 && strips_[stripCursor_] < 0) {
            plain = -(long long)strips_[stripCursor_];
            ++firstStrip;
        }
        for (std::size_t i = firstStrip; i < stripCursor_ + std::size_t(entries); ++i)
            walked += std::llabs((long long)strips_[i]);
    } else {
        fits = false;
    }
    const long long taken = walked + plain, indicesLeft = (long long)(indices_.size() - indexCursor_);
    fits = fits && taken <= indicesLeft;
    const std::size_t stripEnd = stripCursor_ + std::size_t(std::clamp(entries, 0LL, stripsLeft));
    const std::size_t indexStart = indexCursor_;
    stripCursor_ = stripEnd;
    indexCursor_ += std::size_t(std::clamp(taken, 0LL, indicesLeft));
    if (!fits) {
        orvel::debug("---OldGeoSet: primitive %d names data outside its set - left out\n", number);
        return;
    }

    orvel::ref_ptr<GeoBunch> bunch(new GeoBunch);
    Material m(Material::Color{1, 1, 1, 1});
    if (bit(2))
        if (Material* legacy = stream::resolve<Material>(p.material))
            m = *legacy;
    m.setLighting(bit(0));
    m.setSmoothShading(!bit(10));
    m.setSphereMap(bit(11));
    for (int slot = 0; slot < 2; ++slot)
        if (useTexture[slot])
            m.setTexture(Texture::create(*textures[slot]), slot);
    if (useTexture[0]) {
        float value = 0;
        Texture::legacyValue(textures[0], value);
        m.setFloat224(value);
    }
    MaterialRef& ref = bunch->material();
    ref.first = bit(12) ? 0 : 1;
    ref.second = bit(1) ? 1 : 0;

    bunch->setVertexData(streamOf<GeoBunch::vertex_data>(positions_.data() + first, count), true);
    m.setVertexColours(false);
    m.setVertexNormals(false);
    if (bit(6)) {
        m.setVertexColours(true);
        bunch->setColorData(streamOf<GeoBunch::color_data>(colours_.data() + first, count));
        for (long long i = first; i < end; ++i)
            if (colours_[std::size_t(i)].a < 255)
                ref.second = 1;
    }
    if (bit(5)) {
        m.setVertexNormals(true);
        bunch->setNormalData(streamOf<GeoBunch::normal_data>(normals_.data() + first, count));
    } else if (bit(6) && m.lighting()) {
        m.setColourMaterial(true);
    }
    for (int set = 0; set < sets; ++set) {
        orvel::ref_ptr<GeoBunch::texcoord_data> coords =
            streamOf<GeoBunch::texcoord_data>(texCoords_[set].data() + first, count);
        repair(*coords, *bunch);
        bunch->setTexcoordData(coords, set);
    }
    for (const GeoBunch::Frame& frame : frames_)
        bunch->animationFrames().push_back(GeoBunch::Frame(frame.data() + first, unsigned(count)));

    // The strips after a leading marker, their indices, then the marker's
    // plain-triangle indices; indices count from the batch's first vertex.
    if (firstStrip < stripEnd)
        bunch->setStripData(streamOf<GeoBunch::strip_data>(strips_.data() + firstStrip, (long long)(stripEnd - firstStrip)));
    if (taken > 0) {
        orvel::ref_ptr<GeoBunch::index_data> indices = streamOf<GeoBunch::index_data>(indices_.data() + indexStart, taken);
        for (unsigned& i : *indices)
            i -= unsigned(first);
        bunch->setIndexData(indices);
    }
    bunch->internals().computeBounds();
    ref.setMaterial(Material::share(m));
    owner_->addBunch(bunch);
}

void OldGeoSet::repair(GeoBunch::texcoord_data& coords, GeoBunch& bunch) {
    bool marked = false;
    if (!coords.empty()) {
        float lowS = coords[0].s, highS = lowS, lowT = coords[0].t, highT = lowT;
        for (const GeoBunch::Float2& c : coords) {
            lowS = std::min(lowS, c.s), highS = std::max(highS, c.s);
            lowT = std::min(lowT, c.t), highT = std::max(highT, c.t);
        }
        const double rangeS = double(highS) - lowS, rangeT = double(highT) - lowT;
        // Ranges that each reach into [-40, 40] stay where they are: read
        // that way rather than as lying wholly inside it, the test moves the
        // fewest coordinates (s in [30, 50] stays). A range of 120 or more is
        // never moved; it is split, whether it reaches the band or not.
        if (rangeS >= 120 || rangeT >= 120) {
            orvel::debug("%.2000s is drastic\n", objectName(owner_));
            addPendingSplit(owner_);
            marked = true;
        } else if (!(highS >= -40 && lowS <= 40 && highT >= -40 && lowT <= 40)) {
            orvel::debug("fix %.2000s  %f  %f\n", objectName(owner_), rangeS, rangeT);
            const float moveS = std::trunc(float(lowS + rangeS / 2)), moveT = std::trunc(float(lowT + rangeT / 2));
            for (GeoBunch::Float2& c : coords)
                c.s -= moveS, c.t -= moveT;
        }
    }
    if (!marked && bunch.triangleCount() >= 1401)
        addPendingSplit(owner_);
}

}  // namespace kessa
