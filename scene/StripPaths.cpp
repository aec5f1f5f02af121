#include "scene/StripPaths.h"

#include <algorithm>

namespace kessa {

namespace {

const float nearlyParallel = 0.99985f;
const float nearlyEqual = 1.0f - 0.99985f;

unsigned long stepsTaken = 0;

float dot(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

float distance2(const float* a, const float* b) {
    float ds = a[0] - b[0], dt = a[1] - b[1];
    return ds * ds + dt * dt;
}

// Steps round a polygon of n vertices from where a strip enters at a
// parity to where it leaves.
int half(int n, int parity) { return n / 2 + (n % 2 && parity == 0); }

}  // namespace

unsigned long StripPaths::steps() { return stepsTaken; }

void StripPaths::PlaceSet::reset(std::size_t size) {
    levels_.clear();
    do {
        size = (size + 63) / 64;
        levels_.emplace_back(size, 0);
    } while (size > 1);
}

void StripPaths::PlaceSet::insert(std::size_t place) {
    for (std::vector<std::uint64_t>& level : levels_) {
        level[place / 64] |= std::uint64_t(1) << place % 64;
        place /= 64;
    }
}

std::size_t StripPaths::PlaceSet::next(std::size_t from) const {
    // Up while the rest of the word holds nothing, then down along the
    // first bits set.
    std::size_t level = 0;
    for (;; ++level) {
        if (level == levels_.size())
            return none;
        const std::size_t word = from / 64;
        if (word < levels_[level].size()) {
            const std::uint64_t bits = levels_[level][word] & ~std::uint64_t(0) << from % 64;
            if (bits) {
                from = word * 64 + std::size_t(__builtin_ctzll(bits));
                break;
            }
        }
        from = word + 1;
    }
    while (level-- > 0)
        from = from * 64 + std::size_t(__builtin_ctzll(levels_[level][from]));
    return from;
}

// Small polygons are walked round, which is quicker than looking up
// vertices that lie elsewhere in memory.
StripPaths::Cursor StripPaths::exit(Cursor at) const {
    const Polygon* p = at.v->owner();
    const int n = p->vertexCount(), steps = half(n, at.parity);
    PolygonVertex* v = at.v;
    if (steps <= 16) {
        for (int i = 0; i < steps; ++i)
            v = p->after(v);
        stepsTaken += unsigned(steps);
    } else {
        const int first = p->firstVertex()->number;
        v = vertices_[std::size_t(first + (at.v->number - first + steps) % n)];
    }
    return {v, n % 2 ? !at.parity : at.parity};
}

StripPaths::Cursor StripPaths::entry(Cursor at) const {
    const Polygon* p = at.v->owner();
    const int n = p->vertexCount(), first = p->firstVertex()->number;
    const int parity = n % 2 ? !at.parity : at.parity;
    int k = at.v->number - first + n - half(n, parity);
    if (k >= n)
        k -= n;
    return {vertices_[std::size_t(first + k)], parity};
}

bool StripPaths::joins(const PolygonVertex* a) {
    const PolygonVertex* c = a->neighbour;
    if (!c)
        return false;
    Polygon* p = a->owner();
    Polygon* q = c->owner();
    if (q->isUnusable() || q->binding() != p->binding())
        return false;
    const PolygonVertex* b = p->after(a);
    const PolygonVertex* d = q->after(c);
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

// Two states leave most polygons by the same vertex: whether it joins is
// worked out once.
unsigned StripPaths::follow(unsigned state) {
    const Cursor out = exit(cursorOf(state));
    signed char& joined = joins_[std::size_t(out.v->number)];
    if (joined < 0)
        joined = joins(out.v);
    return joined ? stateOf({out.v->neighbour, out.parity}) : none;
}

// Neighbours come in pairs: a strip reaches this vertex from its neighbour,
// leaving that polygon there.
unsigned StripPaths::previous(unsigned state) const {
    const Cursor in = cursorOf(state);
    PolygonVertex* a = in.v->neighbour;
    if (!a || a->owner()->isUnusable() || !joins(a))
        return none;
    return stateOf(entry({a, in.parity}));
}

void StripPaths::build(const std::vector<Polygon*>& polygons) {
    vertices_.clear();
    polygonOf_.clear();
    std::size_t count = 0;
    for (const Polygon* p : polygons)
        count += std::size_t(p->vertexCount());
    vertices_.reserve(count);
    polygonOf_.reserve(count);
    for (Polygon* p : polygons) {
        const unsigned id = unsigned(vertices_.size());
        for (PolygonVertex* v = p->firstVertex(); v; v = v->next()) {
            v->number = int(vertices_.size());
            vertices_.push_back(v);
            polygonOf_.push_back(id);
        }
    }
    const unsigned states = unsigned(2 * vertices_.size());
    joins_.assign(vertices_.size(), -1);
    drawnPolygon_.assign(vertices_.size(), 0);
    placeOf_.assign(states, none);
    stateAt_.clear();
    stateAt_.reserve(states);
    reach_.clear();
    reach_.reserve(states);
    pathFirst_.clear();
    inWindow_.assign(vertices_.size(), 0);
    drawn_.reset(states);
}

// Paths are laid out as walks first come to them: one that no strip
// attempt enters costs nothing.
unsigned StripPaths::placeOf(unsigned state) {
    if (placeOf_[state] == none)
        layOutPathThrough(state);
    return placeOf_[state];
}

void StripPaths::layOutPathThrough(unsigned state) {
    // Back to where the path starts, or round its ring, listing the states
    // met; then on from `state` to the path's end. Steps are bounded all the
    // same: the paths are only as sound as the neighbours' pairing.
    const unsigned begin = unsigned(stateAt_.size());
    pathFirst_.push_back(begin);
    stateAt_.push_back(state);
    bool ring = false;
    for (unsigned first = state; stateAt_.size() - begin < placeOf_.size();) {
        first = previous(first);
        if (first == none || placeOf_[first] != none || (ring = first == state))
            break;
        stateAt_.push_back(first);
    }
    std::reverse(stateAt_.begin() + begin, stateAt_.end());
    for (unsigned place = begin; place < stateAt_.size(); ++place)
        placeOf_[stateAt_[place]] = place;
    for (unsigned s = ring ? none : follow(state); s != none && placeOf_[s] == none; s = follow(s)) {
        placeOf_[s] = unsigned(stateAt_.size());
        stateAt_.push_back(s);
    }
    stepsTaken += stateAt_.size() - begin;
    for (unsigned place = begin; place < stateAt_.size(); ++place)
        if (drawnPolygon_[polygonAt(place)])
            drawn_.insert(place);
    findReaches(begin, unsigned(stateAt_.size()), ring);
}

// For each place, how far the window of distinct polygons that starts there
// reaches: the window's end only moves on as its start does.
void StripPaths::findReaches(unsigned first, unsigned end, bool ring) {
    const unsigned length = end - first;
    reach_.resize(end);
    unsigned past = 0;
    for (unsigned i = 0; i < length; ++i) {
        const unsigned limit = ring ? i + length : length;
        while (past < limit) {
            char& in = inWindow_[polygonAt(first + (past < length ? past : past - length))];
            if (in)
                break;
            in = 1;
            ++past;
            ++stepsTaken;
        }
        reach_[first + i] = past - i;
        inWindow_[polygonAt(first + i)] = 0;
    }
    for (unsigned k = length; k < past; ++k)
        inWindow_[polygonAt(first + k - length)] = 0;
}

StripPaths::Stretch StripPaths::walk(Cursor at) {
    const unsigned place = placeOf(stateOf(at));
    const std::size_t path = std::size_t(std::upper_bound(pathFirst_.begin(), pathFirst_.end(), place) - pathFirst_.begin());
    Stretch s{place, reach_[place], pathFirst_[path - 1],
              path < pathFirst_.size() ? pathFirst_[path] : unsigned(stateAt_.size())};
    if (s.count <= 1)
        return s;
    // The first drawn place, before the ring's end and after its first.
    const unsigned length = s.end - s.first;
    std::size_t drawn = drawn_.next(place + 1);
    if (drawn < s.end && drawn < std::size_t(place) + s.count)
        s.count = unsigned(drawn - place);
    else if (place + s.count > s.end && (drawn = drawn_.next(s.first)) < place + s.count - length)
        s.count = unsigned(drawn + length - place);
    return s;
}

unsigned StripPaths::placeAt(const Stretch& s, unsigned k) const {
    const unsigned place = s.at + k;
    return place < s.end ? place : place - (s.end - s.first);
}

StripPaths::Cursor StripPaths::exitAt(const Stretch& s, unsigned k) const {
    return exit(cursorOf(stateAt_[placeAt(s, k)]));
}

unsigned StripPaths::firstAmong(const Stretch& s, unsigned from, unsigned to, unsigned polygon) const {
    const unsigned states = 2 * unsigned(vertices_[polygon]->owner()->vertexCount());
    for (unsigned state = 2 * polygon; state < 2 * polygon + states; ++state) {
        const unsigned place = placeOf_[state];
        if (place < s.first || place >= s.end)
            continue;
        const unsigned k = place >= s.at ? place - s.at : place + (s.end - s.first) - s.at;
        if (k >= from && k < to)
            to = k;
    }
    return to;
}

// Each polygon of the shorter stretch is looked for among the places of the
// other: strips tried and given up on both sides cost what the shorter side
// does.
unsigned StripPaths::firstShared(const Stretch& s, const Stretch& other) const {
    if (s.count <= 1 || other.count <= 1)
        return s.count;
    if (s.count <= other.count) {
        for (unsigned k = 1; k < s.count; ++k) {
            ++stepsTaken;
            if (firstAmong(other, 1, other.count, polygonAt(placeAt(s, k))) < other.count)
                return k;
        }
        return s.count;
    }
    unsigned first = s.count;
    for (unsigned k = 1; k < other.count; ++k) {
        ++stepsTaken;
        first = firstAmong(s, 1, first, polygonAt(placeAt(other, k)));
    }
    return first;
}

void StripPaths::drawn(Polygon* p) {
    p->used = true;
    drawnPolygon_[std::size_t(p->firstVertex()->number)] = 1;
    const unsigned from = 2 * unsigned(p->firstVertex()->number), to = from + 2 * unsigned(p->vertexCount());
    for (unsigned s = from; s < to; ++s)
        if (placeOf_[s] != none)
            drawn_.insert(placeOf_[s]);
}

}  // namespace kessa
