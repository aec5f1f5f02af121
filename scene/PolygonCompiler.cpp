#include "scene/PolygonCompiler.h"

#include <unordered_map>
#include <vector>

#include "scene/Database.h"
#include "scene/GeoBunchBuilder.h"
#include "scene/Object.h"
#include "scene/PolygonBranch.h"
#include "scene/StripPaths.h"

namespace kessa {

namespace {

using Cursor = StripPaths::Cursor;

class StripCompiler {
public:
    explicit StripCompiler(GeoBunchBuilder& builder) : builder_(builder) {}

    // Prepares strips through the polygons of one binding.
    void prepare(const std::vector<Polygon*>& polygons) { paths_.build(polygons); }
    // Polygons joined by a strip through p starting at v in direction
    // parity; -1 when the strip would end on the wrong parity. start()
    // then names the vertex at which emission begins.
    int tryStrip(Polygon* p, PolygonVertex* v, int parity);
    PolygonVertex* start() const { return cursor_.v; }
    // Hands the triangles of count polygons, from v on, to the builder.
    void emit(PolygonVertex* v, int count);

private:
    void corner(GeoBunchBuilder::Corner& c, const PolygonVertex* v);

    GeoBunchBuilder& builder_;
    StripPaths paths_;
    std::vector<PolygonVertex*> ring_;
    Cursor cursor_{nullptr, 0};
};

// The walk on from p's exit, and the walk back across the edge at v, are
// stretches of paths; the walk back stops before a polygon the walk on
// went through.
int StripCompiler::tryStrip(Polygon* p, PolygonVertex* v, int parity) {
    const StripPaths::Stretch onward = paths_.walk({v, parity});
    const Cursor forward = paths_.exitAt(onward, onward.count - 1);
    int count = int(onward.count);
    Cursor end = forward;
    if (forward.v->neighbour == v && parity == 0 && forward.parity == 0 && p->vertexCount() % 2) {
        // The strip closed into a ring through p: it starts at p.
        end = paths_.exit({v, 0});
    } else {
        const StripPaths::Stretch beyond = paths_.walk(paths_.entry({v, parity}));
        const unsigned back = paths_.firstShared(beyond, onward) - 1;
        if (back > 0) {
            const Cursor backward = paths_.exitAt(beyond, back);
            count += int(back);
            end = backward.parity == 0 && forward.parity == 1 ? forward : backward;
        } else if (parity == 1 && end.parity == 0) {
            end = {v, 1};
        }
    }
    cursor_ = end;
    return end.parity == 0 ? -1 : count;
}

void StripCompiler::corner(GeoBunchBuilder::Corner& c, const PolygonVertex* v) {
    const double* p = v->position();
    c.position = {float(p[0]), float(p[1]), float(p[2])};
    c.normal = {v->normal()[0], v->normal()[1], v->normal()[2]};
    unsigned rgba = v->colour();
    c.colour = {(unsigned char)(rgba & 0xFF), (unsigned char)(rgba >> 8 & 0xFF), (unsigned char)(rgba >> 16 & 0xFF),
                (unsigned char)(rgba >> 24)};
    for (int unit = 0; unit < 2; ++unit)
        c.texCoords[unit] = {v->texCoord(unit)[0], v->texCoord(unit)[1]};
}

// Fans out from both ends of each polygon's vertex list in turn, so that
// the last triangle of a polygon shares the exit edge with the next one.
void StripCompiler::emit(PolygonVertex* v, int count) {
    int parity = 1;
    for (int k = 0; k < count && v && !v->owner()->used; ++k) {
        Polygon* p = v->owner();
        ring_.clear();
        PolygonVertex* w = v;
        do {
            ring_.push_back(w);
            w = p->after(w);
        } while (w != v);
        std::size_t front = 0, back = ring_.size() - 1;
        while (back >= front + 2) {
            PolygonVertex* third = parity ? ring_[back - 1] : ring_[front + 1];
            builder_.triangles.emplace_back();
            GeoBunchBuilder::Corner* t = builder_.triangles.back().corners;
            corner(t[0], ring_[back]);
            corner(t[1], ring_[front]);
            corner(t[2], third);
            if (parity)
                --back;
            else
                ++front;
            parity = !parity;
        }
        paths_.drawn(p);
        v = ring_[back]->neighbour;
    }
}

struct BindingHash {
    std::size_t operator()(const MaterialRef& b) const {
        return std::hash<const void*>()(b.material().get()) ^
               (std::size_t(b.first) << 1 | std::size_t(b.second)) * 0x9E3779B9u;
    }
};

// The usable polygons of each binding in list order, the bindings in the
// order of their first polygons: one pass, however many bindings. Runs of
// one binding, the common case, skip the lookup.
std::vector<std::vector<Polygon*>> byBinding(const std::vector<Polygon*>& polygons) {
    std::unordered_map<MaterialRef, std::size_t, BindingHash> index;
    std::vector<std::vector<Polygon*>> bindings;
    const MaterialRef* previous = nullptr;
    std::size_t at = 0;
    for (Polygon* p : polygons) {
        if (p->isUnusable())
            continue;
        const MaterialRef& b = p->binding();
        if (!previous || b != *previous) {
            const auto found = index.try_emplace(b, bindings.size());
            if (found.second)
                bindings.emplace_back();
            at = found.first->second;
            previous = &b;
        }
        bindings[at].push_back(p);
    }
    return bindings;
}

}  // namespace

unsigned long stripSteps() { return StripPaths::steps(); }

void compilePolygons(GeoBunchBuilder& builder, PolygonBranch& branch) {
    const std::vector<Polygon*>& polygons = branch.polygons();
    if (polygons.empty())
        return;
    branch.deleteBunches();
    // The database's hook reaches the batches through their branch.
    const Database* database = branch.owner() ? branch.owner()->database() : nullptr;
    if (database && database->bunchCallbacks())
        branch.setAttachment(database->bunchCallbacks());
    for (Polygon* p : polygons)
        p->used = false;
    StripCompiler strips(builder);
    for (const std::vector<Polygon*>& bound : byBinding(polygons)) {
        builder.clear();
        builder.material = bound.front()->binding();
        // Room for the whole batch at once: a list of millions of triangles
        // grown by doubling is copied over and over.
        std::size_t triangles = 0;
        for (Polygon* p : bound)
            triangles += std::size_t(p->vertexCount() - 2);
        builder.triangles.reserve(triangles);
        strips.prepare(bound);
        for (Polygon* p : bound) {
            if (p->used)
                continue;
            int best = 1;
            PolygonVertex* start = p->firstVertex();
            PolygonVertex* v = p->firstVertex();
            for (int s = 0; s < (p->vertexCount() + 1) / 2; ++s, v = p->after(v))
                for (int parity : {1, 0}) {
                    int count = strips.tryStrip(p, v, parity);
                    if (count > best) {
                        best = count;
                        start = strips.start();
                    }
                }
            strips.emit(start, best);
        }
        branch.addTriangles(builder);
    }
}

}  // namespace kessa
