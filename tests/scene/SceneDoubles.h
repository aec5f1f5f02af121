// Stand-ins for the walk and the render accumulator that record what the
// branches ask of them, and a leaf branch whose bounds a test sets.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "scene/Branch.h"
#include "scene/Matrix.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Traverser.h"

namespace kessa_test {

class RecordingAccumulator : public kessa::RenderAccumulator {
public:
    void pushOverrideState(unsigned bits) override {
        overrides.push_back(overrides.back() | bits);
        log.push_back("override+" + std::to_string(bits));
    }
    void popOverrideState() override {
        overrides.pop_back();
        log.push_back("override-");
    }
    void pushTransparency(float alpha) override {
        alphas.push_back(alpha);
        log.push_back("alpha+" + std::to_string(alpha));
    }
    void popTransparency() override {
        alphas.pop_back();
        log.push_back("alpha-");
    }
    void pushAnimation(int value) override {
        animations.push_back(value);
        log.push_back("anim+" + std::to_string(value));
    }
    void popAnimation() override {
        animations.pop_back();
        log.push_back("anim-");
    }

    std::vector<unsigned> overrides{0};
    std::vector<float> alphas{1.0f};
    std::vector<int> animations{0};
    std::vector<std::string> log;
};

// What a branch was visited with.
struct Visit {
    std::string name;
    unsigned overrides;
    float alpha;
    int animation;
    kessa::Matrix modelview;
};

class RecordingTraverser : public kessa::Traverser {
public:
    explicit RecordingTraverser(int mode = 0) : mode_(mode) { stack_.push_back({kessa::Matrix(), kessa::Matrix()}); }

    int mode() const override { return mode_; }
    bool isCullingActive() const override { return culling_.back(); }
    bool isCulled(kessa::Branch* branch) override {
        log.push_back("test " + name(branch));
        return culled.count(branch->name().c_str()) != 0;
    }
    void visitBranch(kessa::Branch* branch) override {
        log.push_back("visit " + name(branch));
        visits.push_back({name(branch), acc.overrides.back(), acc.alphas.back(), acc.animations.back(),
                          stack_.back().first});
    }
    void pushTransform(const kessa::Matrix& matrix, const kessa::Matrix& inverse) override {
        kessa::Matrix a, b;
        a.multiply(matrix, stack_.back().first);
        b.multiply(stack_.back().second, inverse);
        stack_.push_back({a, b});
        log.push_back("push");
    }
    void popTransform() override {
        stack_.pop_back();
        log.push_back("pop");
    }
    void pushCullMask() override {
        // Children of a branch listed as wholly inside need no tests.
        culling_.push_back(culling_.back() && !inside.count(lastTested()));
        log.push_back("mask+");
    }
    void popCullMask() override {
        culling_.pop_back();
        log.push_back("mask-");
    }
    void pushRecordedBranch(kessa::Branch* branch) override { recorded.push_back(branch); }
    void popRecordedBranch() override { recorded.pop_back(); }
    void countInstanceVisit() override { ++instanceVisits; }
    kessa::RenderAccumulator& accumulator() override { return acc; }
    const kessa::Matrix& modelview() const override { return stack_.back().first; }
    const kessa::Vector& referencePoint() const override { return reference; }
    double lodFactor() const override { return factor; }

    void setCulling(bool on) { culling_ = {on}; }
    void setModelview(const kessa::Matrix& m) {
        kessa::Matrix inverse;
        m.invert(inverse);
        stack_ = {{m, inverse}};
    }
    int depth() const { return int(stack_.size()); }

    // The names of the visited branches, in order.
    std::vector<std::string> visitedNames() const {
        std::vector<std::string> out;
        for (const Visit& v : visits)
            out.push_back(v.name);
        return out;
    }

    RecordingAccumulator acc;
    std::set<std::string> culled, inside;
    std::vector<std::string> log;
    std::vector<Visit> visits;
    std::vector<kessa::Branch*> recorded;
    int instanceVisits = 0;
    kessa::Vector reference;
    double factor = 1.0;

private:
    static std::string name(kessa::Branch* b) { return b->name().c_str(); }
    std::string lastTested() const {
        for (auto it = log.rbegin(); it != log.rend(); ++it)
            if (it->compare(0, 5, "test ") == 0)
                return it->substr(5);
        return "";
    }

    int mode_;
    std::vector<bool> culling_{false};
    std::vector<std::pair<kessa::Matrix, kessa::Matrix>> stack_;
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

inline kessa::Bounds box(const kessa::Vector& min, const kessa::Vector& max) {
    kessa::Bounds b;
    b.set(min, max);
    return b;
}

// The box alone: unions carry spheres of their own.
inline ::testing::AssertionResult boxIs(const kessa::Bounds& b, const kessa::Vector& min, const kessa::Vector& max) {
    if (b.valid() && b.min() == min && b.max() == max)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "valid " << b.valid() << " (" << b.min().x << ", " << b.min().y << ", "
                                         << b.min().z << ") - (" << b.max().x << ", " << b.max().y << ", "
                                         << b.max().z << ")";
}

}  // namespace kessa_test
