#include "scene/GeoBunchInternals.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/Debug.h"
#include "gui/gl/VertexArray.h"
#include "scene/Branch.h"
#include "scene/BunchHolder.h"
#include "scene/Object.h"
#include "scene/StorageStats.h"

namespace kessa {

namespace {

template <class Stream, class Element>
void refresh(const orvel::ref_ptr<Stream>& stream, const Element*& pointer) {
    pointer = stream && !stream->empty() ? stream->data() : nullptr;
}

// The cached pointer is what its stream says it should be.
template <class Stream, class Element>
const char* pointerFault(const orvel::ref_ptr<Stream>& stream, const Element* pointer, const char* shouldBeNull,
                         const char* notSet) {
    if (!stream)
        return pointer ? shouldBeNull : nullptr;
    const Element* expected = stream->empty() ? nullptr : stream->data();
    return pointer != expected ? notSet : nullptr;
}

// Orders positions by x, then y, then z, as a total order: the two zeros are
// one value, and a NaN sorts above every number.
std::uint32_t floatKey(float f) {
    if (f == 0)
        f = 0;
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits & 0x80000000u ? ~bits : bits | 0x80000000u;
}

bool positionBefore(const GeoBunch::Float3& a, const GeoBunch::Float3& b) {
    std::uint32_t ax = floatKey(a.x), bx = floatKey(b.x);
    if (ax != bx)
        return ax < bx;
    std::uint32_t ay = floatKey(a.y), by = floatKey(b.y);
    if (ay != by)
        return ay < by;
    return floatKey(a.z) < floatKey(b.z);
}

bool samePosition(const GeoBunch::Float3& a, const GeoBunch::Float3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

}  // namespace

GeoBunchInternals::GeoBunchInternals() = default;

GeoBunchInternals::~GeoBunchInternals() = default;

void GeoBunchInternals::refreshVertexPointer() { refresh(vertices_, vertexPointer_); }

void GeoBunchInternals::refreshColorPointer() { refresh(colors_, colorPointer_); }

void GeoBunchInternals::refreshNormalPointer() { refresh(normals_, normalPointer_); }

void GeoBunchInternals::refreshTexCoordPointer(int set) { refresh(texCoords_[set], texCoordPointer_[set]); }

void GeoBunchInternals::refreshPointers() {
    refreshVertexPointer();
    refreshColorPointer();
    refreshNormalPointer();
    refreshTexCoordPointer(0);
    refreshTexCoordPointer(1);
}

unsigned GeoBunchInternals::layoutTotal() const {
    if (indices_)
        return indices_->size();
    return vertices_ ? vertices_->size() : 0;
}

void GeoBunchInternals::countTriangles() {
    if (triangleCount_ != -1)
        return;
    unsigned long long consumed = 0, count = 0, plain = 0;
    if (vertices_) {
        unsigned long long total = layoutTotal();
        if (strips_) {
            for (int n : *strips_) {
                unsigned long long len = stripVertices(n);
                // Strips past the end make no triangles: verify refuses them.
                if (len > total - consumed) {
                    consumed = total;
                    break;
                }
                consumed += len;
                if (len >= 3)
                    count += len - 2;
            }
        }
        plain = (total - consumed) / 3;
        count += plain;
    }
    triangleCount_ = int(std::min<unsigned long long>(count, INT_MAX));
    plainTriangles_ = int(std::min<unsigned long long>(plain, INT_MAX));
}

void GeoBunchInternals::fail(const char* text) {
    valid_ = false;
    orvel::debug("%s\n", (std::string("GeoBunchInternals::verify() - ") + text).c_str());
    if (ownerBunch_ && ownerBranch_) {
        const Branch& branch = ownerBranch_->holderBranch();
        const Object* object = branch.owner();
        orvel::debug("bunch=%x   branch=%.2000s   object=%.2000s\n", unsigned(reinterpret_cast<std::uintptr_t>(ownerBunch_)),
                     branch.name().c_str(), object ? object->name().c_str() : "");
    }
}

void GeoBunchInternals::streamsChanged() {
    checked_ = false;
    releaseVertexArray();
}

template <class Report>
void GeoBunchInternals::check(Report&& report) const {
    char text[96];
    if (const char* f = pointerFault(vertices_, vertexPointer_, "vertices should be 0", "vertices isn't set properly"))
        report(f);
    if (const char* f = pointerFault(colors_, colorPointer_, "colors should be 0", "colors isn't set properly"))
        report(f);
    if (const char* f = pointerFault(normals_, normalPointer_, "normals should be 0", "normals isn't set properly"))
        report(f);
    for (int i = 0; i < 2; ++i) {
        if (const char* f = pointerFault(texCoords_[i], texCoordPointer_[i], "texCoords[%d] should be 0",
                                         "texCoords[%d] isn't set properly")) {
            std::snprintf(text, sizeof text, f, i);
            report(text);
        }
    }
    if (indices_ && vertices_) {
        // Counted without a branch, so that the draw's check of every index
        // costs little more than reading them.
        const unsigned n = vertices_->size();
        unsigned outside = 0;
        for (unsigned index : *indices_)
            outside += index >= n;
        for (; outside; --outside)
            report("Index out of range\n");
    }

    // GL reads every array as far as the vertex count, the indices and the
    // strips say: anything shorter would be read past its end.
    if (!vertices_)
        return;
    unsigned n = vertices_->size();
    if (strips_) {
        unsigned long long needed = 0;
        for (int s : *strips_)
            needed += stripVertices(s);
        if (needed > layoutTotal()) {
            std::snprintf(text, sizeof text, "strips need %llu %s but there are %u", needed,
                          indices_ ? "indices" : "vertices", layoutTotal());
            report(text);
        }
    }
    if (colors_ && colors_->size() < n)
        report("colors has fewer entries than vertices");
    if (normals_ && normals_->size() < n)
        report("normals has fewer entries than vertices");
    for (int i = 0; i < 2; ++i) {
        if (texCoords_[i] && texCoords_[i]->size() < n) {
            std::snprintf(text, sizeof text, "texCoords[%d] has fewer entries than vertices", i);
            report(text);
        }
    }
    for (std::size_t k = 0; k < frames_.size(); ++k) {
        if (frames_[k].size() != n) {
            std::snprintf(text, sizeof text, "wrong number of vertices in animation[%d]\n", int(k));
            report(text);
        }
    }
}

bool GeoBunchInternals::verify() {
    countTriangles();
    valid_ = true;
    checked_ = true;
    check([this](const char* text) { fail(text); });
    return valid_;
}

bool GeoBunchInternals::streamsSound() const {
    bool sound = true;
    check([&sound](const char*) { sound = false; });
    return sound;
}

bool GeoBunchInternals::readyForGL() {
    if (checked_ && valid_ && streamsSound())
        return true;
    // Strips, indices or vertices may have changed in place: counted afresh.
    dropTriangleCount();
    return verify();
}

void GeoBunchInternals::computeBounds() {
    if (!ownerBunch_)
        return;
    Bounds& bounds = ownerBunch_->bounds_;
    if (!vertices_ || vertices_->empty()) {
        bounds.set(Vector(-1, -1, -1), Vector(1, 1, 1));
        return;
    }
    Vector lo(1e35, 1e35, 1e35), hi(-1e35, -1e35, -1e35);
    auto widen = [&](const GeoBunch::Float3& p) {
        lo.x = std::min(lo.x, double(p.x));
        lo.y = std::min(lo.y, double(p.y));
        lo.z = std::min(lo.z, double(p.z));
        hi.x = std::max(hi.x, double(p.x));
        hi.y = std::max(hi.y, double(p.y));
        hi.z = std::max(hi.z, double(p.z));
    };
    for (const GeoBunch::Float3& p : *vertices_)
        widen(p);
    for (const GeoBunch::Frame& f : frames_)
        for (const GeoBunch::Float3& p : f)
            widen(p);

    Vector centre = (lo + hi) * 0.5;
    double farthest = 0;
    auto reach = [&](const GeoBunch::Float3& p) {
        farthest = std::max(farthest, (Vector(p.x, p.y, p.z) - centre).lengthSquared());
    };
    for (const GeoBunch::Float3& p : *vertices_)
        reach(p);
    for (const GeoBunch::Frame& f : frames_)
        for (const GeoBunch::Float3& p : f)
            reach(p);
    bounds.set(lo, hi);
    bounds.setSphere(centre, std::sqrt(farthest));
}

void GeoBunchInternals::forEachTriangle(GeoBunch::TriangleProcessor& processor) {
    if (!ownerBunch_)
        return;
    GeoBunch& owner = *ownerBunch_;
    walkTriangles([&](unsigned a, unsigned b, unsigned c) {
        processor.processTriangle(owner, a, b, c);
        return true;
    });
}

void GeoBunchInternals::setAnimation(const GeoBunch::FrameList& frames) {
    if (!vertices_ || vertices_->empty() || frames.empty())
        return;
    frames_.clear();
    const unsigned frameSize = frames[0].size();
    for (std::size_t k = frameSize == 0 ? 0 : 1; k < frames.size(); ++k) {
        if (frames[k].size() != frameSize || frameSize == 0) {
            char text[64];
            std::snprintf(text, sizeof text, "wrong number of vertices in animation[%d]\n", int(k));
            fail(text);
            // Refused as the streams are: not drawn until a stream is replaced.
            checked_ = true;
            return;
        }
    }

    // Each vertex takes the frame-0 position equal to it (the first of equal
    // ones), else the nearest one (the first of equally near ones).
    const GeoBunch::Frame& frame0 = frames[0];
    std::vector<unsigned> order(frameSize);
    for (unsigned i = 0; i < frameSize; ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](unsigned a, unsigned b) { return positionBefore(frame0[a], frame0[b]); });
    const unsigned n = vertices_->size();
    std::vector<unsigned> match(n, 0);
    for (unsigned v = 0; v < n; ++v) {
        const GeoBunch::Float3& p = (*vertices_)[v];
        auto found = std::lower_bound(order.begin(), order.end(), p,
                                      [&](unsigned i, const GeoBunch::Float3& q) { return positionBefore(frame0[i], q); });
        if (found != order.end() && samePosition(frame0[*found], p)) {
            match[v] = *found;
            continue;
        }
        float best = 3.4028235e38f;
        for (unsigned i = 0; i < frameSize; ++i) {
            float dx = frame0[i].x - p.x, dy = frame0[i].y - p.y, dz = frame0[i].z - p.z;
            float d = dx * dx + dy * dy + dz * dz;
            if (d < best) {
                best = d;
                match[v] = i;
            }
        }
    }

    frames_.resize(frames.size());
    for (std::size_t k = 0; k < frames.size(); ++k) {
        GeoBunch::Frame& out = frames_[k];
        out.resize(n);
        for (unsigned v = 0; v < n; ++v)
            out[v] = frames[k][match[v]];
    }
}

void GeoBunchInternals::animate(float t) {
    if (!valid_ || frames_.empty() || !vertices_)
        return;
    const unsigned n = vertices_->size();
    // The frames may have been edited since the batch was checked.
    for (const GeoBunch::Frame& f : frames_)
        if (f.size() != n)
            return;
    const std::size_t count = frames_.size();
    double time = t;
    double range = double(count) - 1.0001;
    if (time < 0) {
        range = double(count) - 0.0001;
        time = -time;
    }
    double x = std::min(time * range, range);
    if (!(x >= 0))
        x = 0;
    std::size_t k = std::size_t(x);
    if (k >= count)
        k = count - 1;
    float f = float(x - double(k));
    const GeoBunch::Frame& a = frames_[k];
    const GeoBunch::Frame& b = frames_[k + 1 < count ? k + 1 : 0];
    GeoBunch::Float3* out = vertices_->data();
    for (unsigned v = 0; v < n; ++v) {
        out[v].x = a[v].x + (b[v].x - a[v].x) * f;
        out[v].y = a[v].y + (b[v].y - a[v].y) * f;
        out[v].z = a[v].z + (b[v].z - a[v].z) * f;
    }
    if (vertexArray_ && vertexArray_->vertexCount() == int(n))
        vertexArray_->setVertices(reinterpret_cast<const float*>(out));
}

void GeoBunchInternals::forAll(StorageStats& stats) {
    for (GeoBunch* bunch = GeoBunch::first(); bunch; bunch = bunch->next()) {
        GeoBunchInternals& in = bunch->internals();
        stats.bunches += 1;
        stats.bunchBytes += int(sizeof(GeoBunch) + sizeof(GeoBunchInternals));
        stats.triangles += bunch->triangleCount();
        int n = bunch->vertexCount();
        stats.vertices += n;
        stats.vertexBytes += n * 12;
        if (in.colors_) {
            stats.colors += int(in.colors_->size());
            stats.colorBytes += int(in.colors_->size()) * 4;
        }
        if (in.normals_) {
            stats.normals += int(in.normals_->size());
            stats.normalBytes += int(in.normals_->size()) * 12;
        }
        for (const auto& coords : in.texCoords_) {
            if (coords) {
                stats.texCoords += int(coords->size());
                stats.texCoordBytes += int(coords->size()) * 8;
            }
        }
        if (in.indices_) {
            stats.indices += int(in.indices_->size());
            stats.indexBytes += int(in.indices_->size()) * 4;
        }
        if (in.strips_) {
            stats.meshSizes += int(in.strips_->size());
            stats.meshSizeBytes += int(in.strips_->size()) * 4;
        }
        if (!in.frames_.empty()) {
            int frames = int(in.frames_.size());
            stats.animatedBunches += 1;
            // The frame holders; their positions are counted apart.
            stats.animatedBunchBytes += frames * int(sizeof(GeoBunch::Frame));
            stats.animationVertices += frames * n;
            stats.animationVertexBytes += frames * n * 12;
        }
    }
}

}  // namespace kessa
