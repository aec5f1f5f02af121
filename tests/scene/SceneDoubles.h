// Doubles of the scene tests: a walk that records what the branches ask of
// it, leaf branches whose bounds a test sets, a group that counts what
// reaches it, and the building of branch trees.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "scene/Branch.h"
#include "scene/GroupBranch.h"
#include "scene/Matrix.h"
#include "tests/scene/SceneTestUtil.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Traverser.h"

namespace kessa_test {

// What a branch was visited with.
struct Visit {
    std::string name;
    unsigned overrides;
    float alpha;
    int animation;
    kessa::Matrix modelview;
};

// A walk that records every visit with the accumulator's state and the
// modelview at that moment, and culls the branches a test names.
class RecordingTraverser : public kessa::Traverser {
public:
    // The base class began a walk with its own culling answer: begin again.
    explicit RecordingTraverser(int mode = 0) : kessa::Traverser(mode) { traverseWith(kessa::Matrix(), kessa::Matrix()); }

    bool cullingActive() override { return cullingOn_; }
    bool isCulled(kessa::Branch* branch) override {
        log.push_back("test " + name(branch));
        return culled.count(branch->name().c_str()) != 0;
    }
    void visitBranch(kessa::Branch* branch) override {
        log.push_back("visit " + name(branch));
        kessa::RenderAccumulator& acc = accumulator();
        visits.push_back({name(branch), acc.overrideState(), acc.transparency(), acc.animation(), modelview()});
        kessa::Traverser::visitBranch(branch);
    }
    void transformView(const kessa::Matrix&) override { log.push_back("push"); }
    void restoreView() override { log.push_back("pop"); }
    bool pushMask() override {
        // Children of a branch listed as wholly inside need no tests.
        masks_.push_back(masks_.back() && !inside.count(lastTested()));
        log.push_back("mask+");
        return masks_.back();
    }
    bool popMask() override {
        masks_.pop_back();
        log.push_back("mask-");
        return masks_.back();
    }

    // Starts a walk with culling on or off.
    void setCulling(bool on) {
        cullingOn_ = on;
        masks_ = {on};
        traverseWith(kessa::Matrix(), kessa::Matrix());
    }
    // Starts a walk under m.
    void setModelview(const kessa::Matrix& m) {
        kessa::Matrix inverse;
        m.invert(inverse);
        traverseWith(m, inverse);
    }

    // The names of the visited branches, in order.
    std::vector<std::string> visitedNames() const {
        std::vector<std::string> out;
        for (const Visit& v : visits)
            out.push_back(v.name);
        return out;
    }

    std::set<std::string> culled, inside;
    std::vector<std::string> log;
    std::vector<Visit> visits;

private:
    static std::string name(kessa::Branch* b) { return b->name().c_str(); }
    std::string lastTested() const {
        for (auto it = log.rbegin(); it != log.rend(); ++it)
            if (it->compare(0, 5, "test ") == 0)
                return it->substr(5);
        return "";
    }

    bool cullingOn_ = false;
    std::vector<bool> masks_{false};
};

// A leaf with bounds of its own, as a geometry branch has.
class TestLeaf : public kessa::Branch {
public:
    explicit TestLeaf(const char* name = "") { setName(name); }
    TestLeaf(const char* name, const kessa::Vector& min, const kessa::Vector& max) : TestLeaf(name) {
        bounds_.set(min, max);
    }
    // New geometry: the bounds are replaced and the change marked.
    void setBox(const kessa::Vector& min, const kessa::Vector& max) {
        box_.set(min, max);
        markDirty();
    }
    void clean() override {
        ++cleans;
        if (box_.valid())
            bounds_ = box_;
        dirty_ = false;
    }
    int cleans = 0;

private:
    kessa::Bounds box_;
};

// A leaf that counts its deletion in deaths.
class MortalLeaf : public TestLeaf {
public:
    MortalLeaf(const char* name, int& deaths) : TestLeaf(name), deaths_(deaths) {}
    ~MortalLeaf() override { ++deaths_; }

private:
    int& deaths_;
};

// A group that counts the requests reaching it from below.
class CountingGroup : public kessa::GroupBranch {
public:
    explicit CountingGroup(const char* name) { setName(name); }
    void markDirty() override {
        ++dirtyCalls;
        if (!isDirty())
            ++markings;
        kessa::GroupBranch::markDirty();
    }
    bool growBounds(const kessa::Bounds& b) override {
        ++growCalls;
        return kessa::GroupBranch::growBounds(b);
    }
    void clean() override {
        if (isDirty())
            ++cleans;
        kessa::GroupBranch::clean();
    }
    // markings counts the markDirty calls that found the group clean.
    int dirtyCalls = 0, markings = 0, growCalls = 0, cleans = 0;
};

// Makes a T of args, appends it to group and returns it.
template <class T, class... Args>
T* add(kessa::GroupBranch& group, Args&&... args) {
    auto owned = std::make_unique<T>(std::forward<Args>(args)...);
    T* raw = owned.get();
    group.addChild(std::move(owned));
    return raw;
}

// The same, named.
template <class T, class... Args>
T* addNamed(kessa::GroupBranch& group, const char* name, Args&&... args) {
    T* added = add<T>(group, std::forward<Args>(args)...);
    added->setName(name);
    return added;
}

}  // namespace kessa_test
