// Building triangle batches and their streams in tests.
#pragma once

#include <initializer_list>
#include <memory>
#include <tuple>
#include <vector>

#include "scene/BunchCallbacks.h"
#include "scene/BunchHolder.h"
#include "scene/GeoBunchInternals.h"
#include "scene/GroupBranch.h"
#include "scene/Object.h"

namespace kessa_test {

using kessa::GeoBunch;

template <class S, class E>
orvel::ref_ptr<S> makeStream(std::initializer_list<E> elements) {
    orvel::ref_ptr<S> s(new S);
    for (const E& e : elements)
        s->push_back(e);
    return s;
}

inline orvel::ref_ptr<GeoBunch::vertex_data> positions(std::initializer_list<GeoBunch::Float3> p) {
    return makeStream<GeoBunch::vertex_data>(p);
}
inline orvel::ref_ptr<GeoBunch::strip_data> strips(std::initializer_list<int> s) {
    return makeStream<GeoBunch::strip_data>(s);
}
inline orvel::ref_ptr<GeoBunch::index_data> indices(std::initializer_list<unsigned> i) {
    return makeStream<GeoBunch::index_data>(i);
}

// n positions along x: (0, 0, 0), (1, 0, 0), ...
inline orvel::ref_ptr<GeoBunch::vertex_data> row(unsigned n) {
    orvel::ref_ptr<GeoBunch::vertex_data> v(new GeoBunch::vertex_data);
    for (unsigned i = 0; i < n; ++i)
        v->push_back({float(i), 0, 0});
    return v;
}

inline GeoBunch::Frame frame(std::initializer_list<GeoBunch::Float3> p) {
    GeoBunch::Frame f;
    for (const GeoBunch::Float3& e : p)
        f.push_back(e);
    return f;
}

using Triangle = std::tuple<unsigned, unsigned, unsigned>;

// Records what forEachTriangle hands out.
class TriangleList : public GeoBunch::TriangleProcessor {
public:
    std::vector<Triangle> triangles;
    GeoBunch* owner = nullptr;
    void processTriangle(GeoBunch& bunch, unsigned a, unsigned b, unsigned c) override {
        owner = &bunch;
        triangles.emplace_back(a, b, c);
    }
};

inline std::vector<Triangle> trianglesOf(GeoBunch& bunch) {
    TriangleList list;
    bunch.internals().forEachTriangle(list);
    return list.triangles;
}

// A geometry branch's part that batches see: a named branch of a named
// object, an optional hook, and a record of the batches let go.
class TestHolder : public kessa::BunchHolder {
public:
    TestHolder(const char* objectName, const char* branchName) {
        object.setName(objectName);
        object.attach(std::make_unique<kessa::GroupBranch>());
        object.root()->setName(branchName);
    }
    const kessa::Branch& holderBranch() const override { return *object.root(); }
    kessa::BunchCallbacks* bunchCallbacks() const override { return callbacks.get(); }
    void forgetBunch(GeoBunch* bunch) override { forgotten.push_back(bunch); }

    kessa::Object object;
    orvel::ref_ptr<kessa::BunchCallbacks> callbacks;
    std::vector<GeoBunch*> forgotten;
};

}  // namespace kessa_test
