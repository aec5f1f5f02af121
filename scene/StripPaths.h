// The ways a strip can run through the polygons of one material binding.
//
// A strip that enters a polygon at a vertex with a parity leaves it by a
// fixed edge with a fixed parity, and goes on into the polygon beyond when
// that edge may be crossed. Each such state (vertex, parity) thus leads to
// one other at most and, neighbours coming in pairs, is led to by one at
// most: the states lie on simple paths and rings. Laid out one after
// another, they make every strip walk a stretch of one path, which runs
// until a polygon comes round again, one already drawn is met or the path
// ends. Where a polygon first comes round again is found once for each
// place, and drawn places are kept in a bit tree: a strip attempt costs the
// same however long the strips are that it walks and gives up.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/Polygon.h"

namespace kessa {

class StripPaths {
public:
    // A vertex where a strip enters or leaves a polygon, and the strip's
    // parity there.
    struct Cursor {
        PolygonVertex* v;
        int parity;
    };
    // A walk: count places of one path from place `at`; a ring's places
    // run on past its end from its first.
    struct Stretch {
        unsigned at, count;
        unsigned first, end;
    };

    // Numbers the vertices of the polygons (usable, of one binding, their
    // neighbours linked), to lay out the paths through them as walks come
    // to them.
    void build(const std::vector<Polygon*>& polygons);

    // Where a strip that enters at `at` leaves the polygon: half way round,
    // one more for an odd polygon entered at parity 0; an odd polygon
    // flips the parity. A quadrilateral is left by the edge opposite its
    // entry, a triangle by its two other edges in turn.
    Cursor exit(Cursor at) const;
    // Where a strip enters to leave at `at`.
    Cursor entry(Cursor at) const;

    // The walk of a strip that enters at `at`.
    Stretch walk(Cursor at);
    // The exit of the polygon at place k of the stretch.
    Cursor exitAt(const Stretch& s, unsigned k) const;
    // The first place of s after its first whose polygon is among those of
    // `other` after its first; s.count when there is none.
    unsigned firstShared(const Stretch& s, const Stretch& other) const;
    // Marks the polygon used: walks stop before it from now on.
    void drawn(Polygon* p);

    // Places laid out, walked and compared so far, over the whole process.
    static unsigned long steps();

private:
    static constexpr unsigned none = ~0u;

    // Places set so far, in levels of 64-bit words; a bit of a level above
    // tells whether the word below holds any.
    class PlaceSet {
    public:
        void reset(std::size_t size);
        void insert(std::size_t place);
        // The first place set at or after `from`, none when there is none.
        std::size_t next(std::size_t from) const;

    private:
        std::vector<std::vector<std::uint64_t>> levels_;
    };

    // Whether a strip may cross the edge from a to the vertex after it into
    // the polygon beyond, as far as shapes and attributes go: the polygon
    // must be usable, bound alike, and continuous with a's in what the
    // material draws.
    static bool joins(const PolygonVertex* a);
    unsigned stateOf(Cursor c) const { return 2 * unsigned(c.v->number) + unsigned(c.parity); }
    Cursor cursorOf(unsigned state) const { return {vertices_[state / 2], int(state % 2)}; }
    // The state a strip reaches after the polygon of `state`, none when it
    // ends there, and the state whose strip reaches `state`.
    unsigned follow(unsigned state);
    unsigned previous(unsigned state) const;
    // The polygon of the state at a place, by the number of its first vertex.
    unsigned polygonAt(unsigned place) const { return polygonOf_[stateAt_[place] / 2]; }
    unsigned placeOf(unsigned state);
    void layOutPathThrough(unsigned state);
    void findReaches(unsigned first, unsigned end, bool ring);
    unsigned placeAt(const Stretch& s, unsigned k) const;
    // The first place k in [from, to) of s where a state of the polygon
    // lies; to when none does.
    unsigned firstAmong(const Stretch& s, unsigned from, unsigned to, unsigned polygon) const;

    // By number: a polygon's vertices lie together, in order.
    std::vector<PolygonVertex*> vertices_;
    // By number, the number of the polygon's first vertex.
    std::vector<unsigned> polygonOf_;
    // By number, whether a strip leaving there joins the polygon beyond:
    // -1 until asked.
    std::vector<signed char> joins_;
    // By the number of a polygon's first vertex, whether it is drawn.
    std::vector<char> drawnPolygon_;
    // By state, none until its path is laid out.
    std::vector<unsigned> placeOf_;
    std::vector<unsigned> stateAt_;
    // Places a walk from each place may go through before a polygon comes
    // round again or its path ends.
    std::vector<unsigned> reach_;
    // The first place of each path, in order.
    std::vector<unsigned> pathFirst_;
    // By polygon, while reaches are found: in the window.
    std::vector<char> inWindow_;
    PlaceSet drawn_;
};

}  // namespace kessa
