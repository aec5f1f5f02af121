// What a polygon tells the polygon branch whose list holds it.
#pragma once

namespace kessa {

class Polygon;

class PolygonHolder {
public:
    // A polygon or one of its vertices was edited: the batches are rebuilt at
    // the next clean.
    virtual void polygonEdited() = 0;
    // A vertex was added: welded positions, neighbours and edges are stale too.
    virtual void polygonChanged() = 0;
    // Another branch took the polygon over: drop it from the list.
    virtual void forgetPolygon(Polygon* polygon) = 0;

protected:
    ~PolygonHolder() = default;
};

}  // namespace kessa
