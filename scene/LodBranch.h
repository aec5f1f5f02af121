// A level-of-detail group. Neighbouring level-of-detail siblings form a chain
// ordered from the most detailed to the least; the first of a chain picks the
// one to show by the squared distance from the viewer, and near a range's end
// cross-fades it with the next.
#pragma once

#include "scene/GroupBranch.h"

namespace kessa {

class LodBranch : public GroupBranch {
public:
    LodBranch() = default;

    void traverse(Traverser& traverser) override;

    // Shown up to distance r (squared distances are compared).
    void setRange(double r);
    // Allows this level to cross-fade with the next.
    void setFade(bool on) { fade_ = on; }

    bool fade() const { return fade_; }
    double range() const { return range_; }
    double rangeSquared() const { return rangeSquared_; }
    // The neighbouring levels in the chain; none for a branch in no group.
    LodBranch* previous() const { return previous_; }
    LodBranch* next() const { return next_; }

    // The process-wide cross-fading switch (on by default). The video
    // settings turn it on; the game's key l toggles it between frames.
    static void setFading(bool on);
    static bool fading();

    // Stream block after the group's: 1 fade, 2 range and its square,
    // 3 previous and next.
    void read(orvel::DataSource& in) override;
    const char* typeName() const override { return "zanthorium::kessa::LodBranch"; }
    void write(orvel::DataDest& out) override;

private:
    friend class GroupBranch;

    // Shows this level, and the next under it, for squared distance d.
    void show(Traverser& traverser, double d, double fadeLow, double upper);

    bool fade_ = false;
    double range_ = 1000;
    double rangeSquared_ = 1000000;
    LodBranch* previous_ = nullptr;
    LodBranch* next_ = nullptr;
};

}  // namespace kessa
