#include "scene/PolygonCompiler.h"

#include <vector>

#include "scene/Database.h"
#include "scene/GeoBunchBuilder.h"
#include "scene/Object.h"
#include "scene/PolygonBranch.h"

namespace kessa {

namespace {

const float nearlyParallel = 0.99985f;
// Steps a polygon is walked round at most: larger ones are looked up.
const int walked = 16;
const float nearlyEqual = 1.0f - 0.99985f;

float dot(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

float distance2(const float* a, const float* b) {
    float ds = a[0] - b[0], dt = a[1] - b[1];
    return ds * ds + dt * dt;
}

// Where a strip leaves a polygon: the vertex that starts the exit edge, and
// the parity the strip has there.
struct Cursor {
    PolygonVertex* v;
    int parity;
};

class StripCompiler {
public:
    // Lists the vertices of the large polygons.
    StripCompiler(GeoBunchBuilder& builder, const std::vector<Polygon*>& polygons);

    // Polygons joined by a strip through p starting at v in direction
    // parity; -1 when the strip would end on the wrong parity. start()
    // then names the vertex at which emission begins.
    int tryStrip(Polygon* p, PolygonVertex* v, int parity);
    PolygonVertex* start() const { return cursor_.v; }
    // Hands the triangles of count polygons, from v on, to the builder.
    void emit(PolygonVertex* v, int count);

private:
    Cursor enter(PolygonVertex* v, int parity) const;
    bool canCross(PolygonVertex* a) const;
    void mark(Polygon* p) {
        p->used = true;
        marked_.push_back(p);
    }
    // Enters the polygon of at.v and keeps crossing exit edges while they may
    // be crossed; at ends as the last exit. Returns the polygons entered.
    int walk(Cursor& at);
    void corner(GeoBunchBuilder::Corner& c, const PolygonVertex* v);

    GeoBunchBuilder& builder_;
    // The vertices of polygons too large to walk half way round, by their
    // numbers: a polygon's vertices lie together, in order, so that any of
    // them is found in one step.
    std::vector<PolygonVertex*> vertices_;
    std::vector<Polygon*> marked_;
    std::vector<PolygonVertex*> ring_;
    Cursor cursor_{nullptr, 0};
};

StripCompiler::StripCompiler(GeoBunchBuilder& builder, const std::vector<Polygon*>& polygons) : builder_(builder) {
    for (Polygon* p : polygons)
        for (PolygonVertex* v = p->firstVertex(); v && p->vertexCount() > 2 * walked; v = v->next()) {
            v->number = int(vertices_.size());
            vertices_.push_back(v);
        }
}

// Half way round, one more for an odd polygon entered at parity 0: a
// quadrilateral is left by the edge opposite its entry, a triangle by its
// other two edges in turn. Strips try each polygon from half its corners,
// so a large one is not walked round but looked up.
Cursor StripCompiler::enter(PolygonVertex* v, int parity) const {
    const Polygon* p = v->owner();
    const int n = p->vertexCount();
    int half = n / 2;
    if (n % 2) {
        if (parity == 0)
            ++half;
        parity = !parity;
    }
    if (half > walked) {
        const int first = p->firstVertex()->number;
        return {vertices_[std::size_t(first + (v->number - first + half) % n)], parity};
    }
    for (int i = 0; i < half; ++i)
        v = p->after(v);
    return {v, parity};
}

// Whether a strip may cross the edge from a to the vertex after it: the
// polygon beyond must be free, usable, bound alike, and continuous with
// this one in what the material draws.
bool StripCompiler::canCross(PolygonVertex* a) const {
    PolygonVertex* c = a->neighbour;
    if (!c)
        return false;
    Polygon* p = a->owner();
    Polygon* q = c->owner();
    if (q->used || q->isUnusable() || q->binding() != p->binding())
        return false;
    PolygonVertex* b = p->after(a);
    PolygonVertex* d = q->after(c);
    const Material& m = *p->binding().material();
    if (m.smoothShading()) {
        if (m.vertexColours() && p->vertexColours && (a->colour() != d->colour() || c->colour() != b->colour()))
            return false;
        if (m.vertexNormals() &&
            (dot(d->normal(), a->normal()) < nearlyParallel || dot(c->normal(), b->normal()) < nearlyParallel))
            return false;
    }
    for (int unit = 0; unit < 2 && m.texture(unit); ++unit) {
        if (unit == 0 && m.sphereMap()) {
            if (!m.smoothShading() && dot(p->normal(), q->normal()) < nearlyParallel)
                return false;
            continue;
        }
        if (distance2(a->texCoord(unit), d->texCoord(unit)) > nearlyEqual ||
            distance2(b->texCoord(unit), c->texCoord(unit)) > nearlyEqual)
            return false;
    }
    return true;
}

// A loop, not a recursion: strips over large grounds run for hundreds of
// thousands of polygons.
int StripCompiler::walk(Cursor& at) {
    int count = 0;
    for (;;) {
        mark(at.v->owner());
        at = enter(at.v, at.parity);
        ++count;
        if (!canCross(at.v))
            return count;
        at.v = at.v->neighbour;
    }
}

int StripCompiler::tryStrip(Polygon* p, PolygonVertex* v, int parity) {
    mark(p);
    Cursor forward = enter(v, parity);
    int count = 1;
    if (canCross(forward.v)) {
        forward.v = forward.v->neighbour;
        count += walk(forward);
    }
    Cursor end = forward;
    if (forward.v->neighbour == v && parity == 0 && forward.parity == 0 && p->vertexCount() % 2) {
        // The strip closed into a ring through p: it starts at p.
        end = enter(v, 0);
    } else if (canCross(v)) {
        Cursor backward{v->neighbour, parity};
        count += walk(backward);
        end = backward.parity == 0 && forward.parity == 1 ? forward : backward;
    } else if (parity == 1 && end.parity == 0) {
        end = {v, 1};
    }
    for (Polygon* q : marked_)
        q->used = false;
    marked_.clear();
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
        p->used = true;
        v = ring_[back]->neighbour;
    }
}

}  // namespace

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
    StripCompiler strips(builder, polygons);
    for (std::size_t g = 0; g < polygons.size(); ++g) {
        Polygon* first = polygons[g];
        if (first->used || first->isUnusable())
            continue;
        builder.clear();
        builder.material = first->binding();
        // Room for the whole batch at once: a list of millions of triangles
        // grown by doubling is copied over and over.
        std::size_t triangles = 0;
        for (std::size_t i = g; i < polygons.size(); ++i) {
            Polygon* p = polygons[i];
            if (!p->used && !p->isUnusable() && p->binding() == first->binding())
                triangles += std::size_t(p->vertexCount() - 2);
        }
        builder.triangles.reserve(triangles);
        for (std::size_t i = g; i < polygons.size(); ++i) {
            Polygon* p = polygons[i];
            if (p->used || p->isUnusable() || p->binding() != first->binding())
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
