#include "scene/StreamNesting.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "base/DataSource.h"
#include "base/Debug.h"
#include "scene/Database.h"
#include "scene/GroupBranch.h"
#include "scene/InstanceBranch.h"
#include "scene/Object.h"

namespace kessa {

namespace {

unsigned long linkSteps = 0;
unsigned long instanceSteps = 0;

orvel::ReadFinisher* makeInstanceNesting() { return new InstanceNesting; }

}  // namespace

StreamNesting* StreamNesting::top(int& depth) {
    StreamNesting* top = this;
    depth = 0;
    for (; top->up_; top = top->up_) {
        depth += top->depth_;
        ++linkSteps;
    }
    int below = depth;
    for (StreamNesting* n = this; n != top;) {
        StreamNesting* up = n->up_;
        const int step = n->depth_;
        n->up_ = top;
        n->depth_ = below;
        below -= step;
        n = up;
    }
    return top;
}

StreamNesting::Adoption StreamNesting::adopt(StreamNesting* child) {
    int depth;
    StreamNesting* top = this->top(depth);
    if (child == top)
        return ring;
    const int height = depth + 1 + (child ? child->height_ : 0);
    if (height > maxDepth)
        return tooDeep;
    if (child) {
        child->up_ = top;
        child->depth_ = depth + 1;
    }
    top->height_ = std::max(top->height_, height);
    return adopted;
}

unsigned long StreamNesting::steps() { return linkSteps; }

InstanceNesting* InstanceNesting::of(orvel::DataSource& in) {
    return static_cast<InstanceNesting*>(in.finisher(&makeInstanceNesting));
}

unsigned long InstanceNesting::steps() { return instanceSteps; }

void InstanceNesting::finish() {
    // The trees to look at: those holding the branches and the roots of the
    // objects they show, each found once.
    std::unordered_set<const Branch*> seen;
    std::vector<Branch*> tops;
    auto reach = [&](Branch* b) {
        for (; b && seen.insert(b).second; b = b->parent()) {
            ++instanceSteps;
            if (!b->parent())
                tops.push_back(b);
        }
    };
    for (InstanceBranch* branch : branches_) {
        reach(branch);
        if (branch->instance())
            reach(branch->instance()->root());
    }

    // Each tree's depth, and its instances with the depth of each.
    constexpr unsigned none = ~0u;
    struct Edge {
        InstanceBranch* branch;
        int depth;
        unsigned target;
    };
    enum : unsigned char { unseen, open, done };
    struct Node {
        Object* object;
        int height;
        unsigned firstEdge, endEdge;
        unsigned char state;
    };
    std::vector<Node> nodes(tops.size(), Node{nullptr, 0, 0, 0, unseen});
    std::vector<Edge> edges;
    std::unordered_map<const Object*, unsigned> nodeOf;
    std::vector<std::pair<Branch*, int>> below;
    for (unsigned i = 0; i < tops.size(); ++i) {
        Object* owner = tops[i]->owner();
        if (owner && owner->root() == tops[i]) {
            nodes[i].object = owner;
            nodeOf[owner] = i;
        }
        nodes[i].firstEdge = unsigned(edges.size());
        below.emplace_back(tops[i], 0);
        while (!below.empty()) {
            const auto [b, depth] = below.back();
            below.pop_back();
            ++instanceSteps;
            nodes[i].height = std::max(nodes[i].height, depth);
            if (auto* instance = dynamic_cast<InstanceBranch*>(b)) {
                if (instance->instance())
                    edges.push_back({instance, depth, none});
            } else if (GroupBranch* g = b->group()) {
                for (Branch* child : g->children())
                    below.emplace_back(child, depth + 1);
            }
        }
        nodes[i].endEdge = unsigned(edges.size());
    }
    for (Edge& e : edges) {
        auto found = nodeOf.find(e.branch->instance());
        if (found != nodeOf.end())
            e.target = found->second;
    }

    // Depth first, without recursion: an object's height is known once
    // every object it shows is. An instance whose object is still open
    // closes a ring; the walks from the databases' root objects go first,
    // so that a ring they reach is cut where it comes back round.
    auto drawnFirst = [&](const Node& node) {
        return node.object && node.object->database() && node.object->database()->rootObject() == node.object;
    };
    std::vector<std::pair<unsigned, unsigned>> path;  // node, next edge
    for (unsigned k = 0; k < 2 * nodes.size(); ++k) {
        const unsigned start = unsigned(k % nodes.size());
        if (nodes[start].state != unseen || (k < nodes.size() && !drawnFirst(nodes[start])))
            continue;
        nodes[start].state = open;
        path.emplace_back(start, nodes[start].firstEdge);
        while (!path.empty()) {
            const unsigned n = path.back().first, next = path.back().second;
            if (next == nodes[n].endEdge) {
                nodes[n].state = done;
                path.pop_back();
                continue;
            }
            ++instanceSteps;
            const Edge& e = edges[next];
            if (e.target != none && nodes[e.target].state == unseen) {
                nodes[e.target].state = open;
                path.emplace_back(e.target, nodes[e.target].firstEdge);
                continue;
            }
            ++path.back().second;
            if (e.target == none)
                continue;
            const int height = e.depth + 1 + nodes[e.target].height;
            if (nodes[e.target].state == open) {
                orvel::debug("!!!InstanceBranch \"%.2000s\": an object that holds the branch was dropped\n",
                             e.branch->name().c_str());
                e.branch->setInstance(nullptr);
            } else if (height > StreamNesting::maxDepth) {
                orvel::debug("!!!InstanceBranch \"%.2000s\": an object that would nest more than %d levels deep was dropped\n",
                             e.branch->name().c_str(), StreamNesting::maxDepth);
                e.branch->setInstance(nullptr);
            } else {
                nodes[n].height = std::max(nodes[n].height, height);
            }
        }
    }
}

}  // namespace kessa
