#include "scene/BunchSplitter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "base/Debug.h"
#include "scene/GeoBunchBuilder.h"
#include "scene/GeometryBranch.h"
#include "scene/GroupBranch.h"

namespace kessa {

namespace {

std::vector<GeometryBranch*>& pendingBranches() {
    static std::vector<GeometryBranch*> branches;
    return branches;
}

// A batch with animation frames is neither rebuilt nor split: builders
// carry no frames, and welding by the pose it is in could join vertices
// that its frames move apart.
bool animated(GeoBunch& bunch) { return !bunch.animationFrames().empty(); }

// Splits the oversized batches of a branch that has a parent; the result
// takes the branch's place. Returns false when there was nothing to split.
bool splitOversized(GeometryBranch& branch) {
    if (!branch.parent())
        return false;
    const bool snake = std::strstr(branch.name().c_str(), "GroundSnake") != nullptr;
    std::unique_ptr<GroupBranch> result;
    bool wrapped = false;
    std::vector<orvel::ref_ptr<GeoBunch>> kept;
    for (GeoBunch* bunch : branch.bunches()) {
        if (bunch->triangleCount() <= maxBunchTriangles || animated(*bunch)) {
            kept.emplace_back(bunch);
            continue;
        }
        orvel::debug("Splitting bunch in branch %.2000s\n", branch.name().c_str());
        if (snake)
            orvel::debug("----------------------------------------\n");
        auto group = std::make_unique<GroupBranch>();
        splitBunch(branch, *group, GeoBunchBuilder(*bunch), 1);
        if (!result) {
            result = std::move(group);
        } else {
            if (!wrapped) {
                auto wrapper = std::make_unique<GroupBranch>();
                wrapper->addChild(std::move(result));
                result = std::move(wrapper);
                wrapped = true;
            }
            result->addChild(std::move(group));
        }
        if (snake)
            orvel::debug("...\n");
    }
    if (!result)
        return false;
    branch.deleteBunches();
    for (const orvel::ref_ptr<GeoBunch>& bunch : kept)
        branch.addBunch(bunch);
    GroupBranch* group = result.get();
    std::unique_ptr<Branch> holder = std::move(result);
    std::unique_ptr<Branch> self = branch.replaceBy(holder);
    if (!branch.bunches().empty()) {
        // Clean first, so that the group's clean does not come back here.
        branch.GeometryBranch::clean();
        group->addChild(std::move(self));
        group->clean();
    } else {
        group->clean();
        self.reset();
    }
    return true;
}

}  // namespace

void splitBunch(GeometryBranch& branch, GroupBranch& group, const GeoBunchBuilder& builder, int level) {
    char name[32];
    std::snprintf(name, sizeof name, "split %d", level);
    group.setName(name);
    const std::vector<GeoBunchBuilder::Triangle>& triangles = builder.triangles;
    const std::size_t m = triangles.size();
    Bounds box = builder.bounds();
    Vector extent = box.max() - box.min();
    int axis = extent.x > extent.y && extent.x > extent.z ? 0 : extent.y <= extent.z ? 2 : 1;
    std::vector<float> centres(m);
    std::vector<std::size_t> order(m);
    for (std::size_t i = 0; i < m; ++i) {
        float low = 1e35f, high = -1e35f;
        for (const GeoBunchBuilder::Corner& c : triangles[i].corners) {
            float v = axis == 0 ? c.position.x : axis == 1 ? c.position.y : c.position.z;
            low = std::min(low, v);
            high = std::max(high, v);
        }
        centres[i] = (low + high) * 0.5f;
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return centres[a] < centres[b]; });
    float median = (centres[order[m / 2]] + centres[order[std::min(m / 2 + 1, m - 1)]]) * 0.5f;
    GeoBunchBuilder halves[2];
    for (GeoBunchBuilder& half : halves)
        half.material = builder.material;
    for (std::size_t i = 0; i < m; ++i)
        halves[centres[i] < median ? 0 : 1].triangles.push_back(triangles[i]);
    // Triangles whose centres all lie on the median's side would be split the
    // same way for ever: split by place in the sorted order instead.
    if (halves[0].triangles.empty() || halves[1].triangles.empty()) {
        for (GeoBunchBuilder& half : halves)
            half.clear();
        for (std::size_t i = 0; i < m; ++i)
            halves[i < m / 2 ? 0 : 1].triangles.push_back(triangles[order[i]]);
    }
    for (GeoBunchBuilder& half : halves) {
        if (half.triangles.size() <= std::size_t(maxBunchTriangles)) {
            auto leaf = std::make_unique<GeometryBranch>();
            leaf->setAttachment(branch.attachment());
            leaf->addTriangles(half);
            group.addChild(std::move(leaf));
        } else {
            auto deeper = std::make_unique<GroupBranch>();
            splitBunch(branch, *deeper, half, level + 1);
            group.addChild(std::move(deeper));
        }
    }
}

void splitAfterClean(GeometryBranch& branch) {
    if (branch.callback() || !splitOversized(branch))
        branch.GeometryBranch::clean();
}

void addPendingSplit(GeometryBranch* branch) {
    if (!isPendingSplit(branch))
        pendingBranches().push_back(branch);
}

void forgetPendingSplit(GeometryBranch* branch) {
    std::vector<GeometryBranch*>& list = pendingBranches();
    list.erase(std::remove(list.begin(), list.end(), branch), list.end());
}

bool isPendingSplit(const GeometryBranch* branch) {
    const std::vector<GeometryBranch*>& list = pendingBranches();
    return std::find(list.begin(), list.end(), branch) != list.end();
}

void splitPendingBranches() {
    std::vector<GeometryBranch*>& list = pendingBranches();
    while (!list.empty()) {
        GeometryBranch* branch = list.back();
        list.pop_back();
        std::vector<orvel::ref_ptr<GeoBunch>> rebuilt;
        bool oversized = false;
        for (GeoBunch* bunch : branch->bunches()) {
            if (animated(*bunch)) {
                rebuilt.emplace_back(bunch);
                continue;
            }
            orvel::ref_ptr<GeoBunch> fresh(new GeoBunch);
            fresh->setTriangles(GeoBunchBuilder(*bunch));
            oversized = oversized || fresh->triangleCount() > maxBunchTriangles;
            rebuilt.push_back(fresh);
        }
        branch->deleteBunches();
        for (const orvel::ref_ptr<GeoBunch>& bunch : rebuilt)
            branch->addBunch(bunch);
        if (oversized && branch->billboardMode() == GeometryBranch::noBillboard && !branch->callback())
            splitOversized(*branch);
    }
}

}  // namespace kessa
