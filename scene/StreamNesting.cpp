#include "scene/StreamNesting.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "base/DataSource.h"
#include "base/Debug.h"
#include "scene/Database.h"
#include "scene/ExrefBranch.h"
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
    // The trees to start from: those holding the branches, the roots of the
    // objects they show and those of the objects showing external
    // databases, each found once.
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
    for (Object* object : externals_)
        reach(object->root());

    // A node is a tree, or a database an external reference shows, made
    // when first met with the links below it: a tree's instances and
    // external references with the depth of each, a database's trees (its
    // root object's first) as if one level above them. A database whose
    // depth is known already is not looked into again.
    constexpr unsigned none = ~0u;
    struct Edge {
        Branch* branch;  // null for a tree of a database
        int depth;
        Branch* top;  // the tree shown; null for an external reference's database
        unsigned target;
    };
    enum : unsigned char { unseen, open, done };
    struct Node {
        Branch* top;
        // Held while the links are looked at: dropping one may let it go.
        orvel::counted_ptr<Database> database;
        int height;
        unsigned firstEdge, endEdge;
        unsigned char state;
    };
    std::vector<Node> nodes;
    std::vector<Edge> edges;
    std::unordered_map<const void*, unsigned> nodeOf;
    std::vector<std::pair<Branch*, int>> below;
    auto nodeFor = [&](Branch* top, const orvel::counted_ptr<Database>& database) {
        const void* key = top ? static_cast<const void*>(top) : database.get();
        const unsigned index = unsigned(nodes.size());
        if (!nodeOf.emplace(key, index).second)
            return nodeOf[key];
        Node node{top, database, 0, unsigned(edges.size()), 0, unseen};
        if (database && database->nestingHeight() >= 0) {
            node.height = database->nestingHeight();
        } else if (database) {
            Object* first = database->rootObject();
            auto show = [&](Object* o) {
                if (o && o->root())
                    edges.push_back({nullptr, -1, o->root(), none});
            };
            show(first);
            for (Object* o : database->objects())
                if (o != first)
                    show(o);
        } else {
            below.emplace_back(top, 0);
        }
        while (!below.empty()) {
            const auto [b, depth] = below.back();
            below.pop_back();
            ++instanceSteps;
            node.height = std::max(node.height, depth);
            if (auto* instance = dynamic_cast<InstanceBranch*>(b)) {
                if (instance->instance() && instance->instance()->root())
                    edges.push_back({instance, depth, instance->instance()->root(), none});
            } else if (auto* exref = dynamic_cast<ExrefBranch*>(b)) {
                if (exref->target())
                    edges.push_back({exref, depth, nullptr, none});
            } else if (GroupBranch* g = b->group()) {
                for (Branch* child : g->children())
                    below.emplace_back(child, depth + 1);
            }
        }
        node.endEdge = unsigned(edges.size());
        nodes.push_back(std::move(node));
        return index;
    };
    for (Branch* top : tops)
        nodeFor(top, nullptr);

    auto drop = [](Branch* branch, bool ring) {
        if (auto* exref = dynamic_cast<ExrefBranch*>(branch)) {
            orvel::debug(ring ? "!!!ExrefBranch \"%.2000s\": database %.2000s holds the branch and was dropped\n"
                              : "!!!ExrefBranch \"%.2000s\": database %.2000s would nest more than %d levels deep and was dropped\n",
                         exref->name().c_str(), exref->target()->path().c_str(), StreamNesting::maxDepth);
            exref->setTarget(nullptr);
            return;
        }
        orvel::debug(ring ? "!!!InstanceBranch \"%.2000s\": an object that holds the branch was dropped\n"
                          : "!!!InstanceBranch \"%.2000s\": an object that would nest more than %d levels deep was dropped\n",
                     branch->name().c_str(), StreamNesting::maxDepth);
        static_cast<InstanceBranch*>(branch)->setInstance(nullptr);
    };

    // Depth first, without recursion: a node's height is known once every
    // node below it is. A link to a node still open closes a ring; the
    // walks from the databases' root objects go first, so that a ring they
    // reach is cut where it comes back round. A database's own trees are
    // not cut here: one too deep makes the reference to the database go,
    // and only code can make a ring through them (the walks' own guards
    // stop it).
    auto drawnFirst = [&](const Node& node) {
        const Object* owner = node.top->owner();
        return owner && owner->root() == node.top && owner->database() && owner->database()->rootObject() == owner;
    };
    const unsigned starts = unsigned(nodes.size());
    std::vector<std::pair<unsigned, unsigned>> path;  // node, next edge
    for (unsigned k = 0; k < 2 * starts; ++k) {
        const unsigned start = k % starts;
        if (nodes[start].state != unseen || (k < starts && !drawnFirst(nodes[start])))
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
            if (edges[next].target == none) {
                const Edge e = edges[next];
                const unsigned target =
                    nodeFor(e.top, e.top ? nullptr : static_cast<ExrefBranch*>(e.branch)->target());
                edges[next].target = target;
            }
            const Edge& e = edges[next];
            if (nodes[e.target].state == unseen) {
                nodes[e.target].state = open;
                path.emplace_back(e.target, nodes[e.target].firstEdge);
                continue;
            }
            ++path.back().second;
            const bool ring = nodes[e.target].state == open;
            const int height = e.depth + 1 + nodes[e.target].height;
            if (e.branch && (ring || height > StreamNesting::maxDepth))
                drop(e.branch, ring);
            else if (!ring)
                nodes[n].height = std::max(nodes[n].height, height);
        }
    }
    for (const Node& node : nodes)
        if (node.database && node.database->nestingHeight() < 0)
            node.database->setNestingHeight(node.height);
}

}  // namespace kessa
