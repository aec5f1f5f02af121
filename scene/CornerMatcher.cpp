#include "scene/CornerMatcher.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kessa {

namespace {

// Normals match within this cosine, texture coordinates within this
// squared distance.
constexpr double alike = 0.99985;
constexpr double near2 = 1 - alike;
// Entries a leaf holds at most (unless they all lie at one place).
constexpr int leafSize = 8;

double length2(const GeoBunch::Float3& n) {
    return double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z;
}

}  // namespace

CornerMatcher::CornerMatcher(const Uses& uses, const std::vector<const GeoBunchBuilder::Triangle*>& triangles,
                             const std::vector<Shift>& shifts, const std::vector<int>& groupOf, int groups)
    : uses_(uses), triangles_(triangles), shifts_(shifts), groupOf_(groupOf), first_(std::size_t(groups), -1),
      root_(std::size_t(groups), -1) {
    // A corner's place: its unit normal, for each set its coordinates,
    // then what must be equal (colour and tiles). Unit normals within the
    // angle lie within 2 - 2 cos of each other, squared.
    reach2_[0] = 2 * near2;
    reach2_[1] = reach2_[2] = near2;
    reach2_[3] = 0;
    // The tree's margin: a little more than rounding can take, so that it
    // never passes over a corner that matches.
    for (double& r : reach2_)
        r *= 1 + 1e-6;
    if (uses.normals)
        for (int i = 0; i < 3; ++i)
            block_[dimensions_++] = 0;
    if (uses.colours)
        block_[dimensions_++] = 3;
    for (int set = 0; set < 2; ++set)
        if (uses.sets[set]) {
            block_[dimensions_++] = 1 + set;
            block_[dimensions_++] = 1 + set;
            block_[dimensions_++] = 3;
            block_[dimensions_++] = 3;
        }
}

bool CornerMatcher::alone(int corner) const {
    const GeoBunchBuilder::Corner& c = at(corner);
    if (uses_.normals) {
        const double l = length2(c.normal);
        if (!(l > 0) || !std::isfinite(l))
            return true;
    }
    for (int set = 0; set < 2; ++set)
        if (uses_.sets[set] && !(std::isfinite(c.texCoords[set].s) && std::isfinite(c.texCoords[set].t)))
            return true;
    return false;
}

bool CornerMatcher::matches(int ia, int ib) const {
    ++comparisons_;
    const GeoBunchBuilder::Corner &a = at(ia), &b = at(ib);
    if (uses_.normals) {
        // Compared as cosines, so that normals of any length weld by angle.
        const double dot = double(a.normal.x) * b.normal.x + double(a.normal.y) * b.normal.y +
                           double(a.normal.z) * b.normal.z;
        if (!(dot > 0 && dot >= alike * std::sqrt(length2(a.normal) * length2(b.normal))))
            return false;
    }
    if (uses_.colours && std::memcmp(&a.colour, &b.colour, sizeof a.colour) != 0)
        return false;
    const Shift *sa = shiftsOf(ia), *sb = shiftsOf(ib);
    for (int set = 0; set < 2; ++set) {
        if (!uses_.sets[set])
            continue;
        const double ds = double(a.texCoords[set].s) - b.texCoords[set].s;
        const double dt = double(a.texCoords[set].t) - b.texCoords[set].t;
        if (ds * ds + dt * dt > near2 || sa[set].s != sb[set].s || sa[set].t != sb[set].t)
            return false;
    }
    return true;
}

void CornerMatcher::place(int corner, double* x) const {
    const GeoBunchBuilder::Corner& c = at(corner);
    int d = 0;
    if (uses_.normals) {
        const double scale = 1 / std::sqrt(length2(c.normal));
        x[d++] = c.normal.x * scale;
        x[d++] = c.normal.y * scale;
        x[d++] = c.normal.z * scale;
    }
    if (uses_.colours) {
        std::uint32_t word;
        std::memcpy(&word, &c.colour, sizeof word);
        x[d++] = word;
    }
    for (int set = 0; set < 2; ++set)
        if (uses_.sets[set]) {
            x[d++] = c.texCoords[set].s;
            x[d++] = c.texCoords[set].t;
            x[d++] = shiftsOf(corner)[set].s;
            x[d++] = shiftsOf(corner)[set].t;
        }
}

void CornerMatcher::listMembers() {
    memberStart_.assign(first_.size() + 1, 0);
    for (int g : groupOf_)
        ++memberStart_[std::size_t(g) + 1];
    for (std::size_t g = 0; g < first_.size(); ++g)
        memberStart_[g + 1] += memberStart_[g];
    members_.resize(groupOf_.size());
    std::vector<int> fill(memberStart_.begin(), memberStart_.end() - 1);
    for (int corner = 0; corner < int(groupOf_.size()); ++corner)
        members_[std::size_t(fill[std::size_t(groupOf_[std::size_t(corner)])]++)] = corner;
}

// A node over entries begin to end, divided at the median of the dimension
// along which they spread most for the match (what must be equal first).
int CornerMatcher::build(int begin, int end) {
    const int node = int(nodes_.size());
    const std::size_t d = std::size_t(dimensions_);
    nodes_.push_back({begin, end, -1, -1, begin});
    boxes_.insert(boxes_.end(), entries_[std::size_t(begin)].x, entries_[std::size_t(begin)].x + d);
    boxes_.insert(boxes_.end(), entries_[std::size_t(begin)].x, entries_[std::size_t(begin)].x + d);
    double* low = &boxes_[2 * d * std::size_t(node)];
    double* high = low + d;
    for (int i = begin + 1; i < end; ++i) {
        const Entry& e = entries_[std::size_t(i)];
        for (std::size_t k = 0; k < d; ++k) {
            low[k] = std::min(low[k], e.x[k]);
            high[k] = std::max(high[k], e.x[k]);
        }
        if (e.corner < entries_[std::size_t(nodes_[std::size_t(node)].earliest)].corner)
            nodes_[std::size_t(node)].earliest = i;
    }
    int axis = -1;
    double widest = 0;
    for (std::size_t k = 0; k < d; ++k) {
        const double spread = high[k] - low[k];
        const double reach = reach2_[block_[k]] > 0 ? std::sqrt(reach2_[block_[k]]) : 1e-9;
        if (spread / reach > widest)
            widest = spread / reach, axis = int(k);
    }
    if (end - begin <= leafSize || axis < 0)
        return node;
    const int middle = begin + (end - begin) / 2;
    std::nth_element(entries_.begin() + begin, entries_.begin() + middle, entries_.begin() + end,
                     [axis](const Entry& a, const Entry& b) { return a.x[axis] < b.x[axis]; });
    // The earliest entry may have moved: found again below.
    const int lowChild = build(begin, middle);
    const int highChild = build(middle, end);
    Node& n = nodes_[std::size_t(node)];
    n.low = lowChild;
    n.high = highChild;
    const int a = nodes_[std::size_t(lowChild)].earliest, b = nodes_[std::size_t(highChild)].earliest;
    n.earliest = entries_[std::size_t(a)].corner < entries_[std::size_t(b)].corner ? a : b;
    return node;
}

// Whether any entry of the node's box may lie within the match of x.
bool CornerMatcher::mayMatch(const double* x, int node) const {
    ++comparisons_;
    const std::size_t d = std::size_t(dimensions_);
    const double* low = &boxes_[2 * d * std::size_t(node)];
    const double* high = low + d;
    double sum[4] = {0, 0, 0, 0};
    for (std::size_t k = 0; k < d; ++k) {
        const double out = x[k] < low[k] ? low[k] - x[k] : x[k] > high[k] ? x[k] - high[k] : 0;
        sum[block_[k]] += out * out;
    }
    for (int b = 0; b < 4; ++b)
        if (sum[b] > reach2_[b])
            return false;
    return true;
}

// The earliest corner under root that matches corner: each node is left
// as soon as its earliest corner matches or comes no earlier than the best.
int CornerMatcher::search(int corner, int root) {
    double x[maxDimensions];
    place(corner, x);
    int best = corner;
    stack_.assign(1, root);
    while (!stack_.empty()) {
        const int at = stack_.back();
        stack_.pop_back();
        const Node& node = nodes_[std::size_t(at)];
        const int earliest = entries_[std::size_t(node.earliest)].corner;
        if (earliest >= best || !mayMatch(x, at))
            continue;
        if (matches(corner, earliest)) {
            best = earliest;
            continue;
        }
        if (node.low < 0) {
            for (int i = node.begin; i < node.end; ++i) {
                const int c = entries_[std::size_t(i)].corner;
                if (c < best && matches(corner, c))
                    best = c;
            }
            continue;
        }
        int first = node.low, second = node.high;
        if (entries_[std::size_t(nodes_[std::size_t(first)].earliest)].corner >
            entries_[std::size_t(nodes_[std::size_t(second)].earliest)].corner)
            std::swap(first, second);
        stack_.push_back(second);
        stack_.push_back(first);
    }
    return best < corner ? best : -1;
}

int CornerMatcher::earlier(int corner) {
    if (alone(corner))
        return -1;
    const std::size_t g = std::size_t(groupOf_[std::size_t(corner)]);
    if (first_[g] < 0) {
        first_[g] = corner;
        return -1;
    }
    if (matches(corner, first_[g]))
        return first_[g];
    if (root_[g] < 0) {
        if (members_.empty())
            listMembers();
        const int begin = int(entries_.size());
        for (std::size_t i = std::size_t(memberStart_[g]); i < std::size_t(memberStart_[g + 1]); ++i) {
            const int member = members_[i];
            if (alone(member))
                continue;
            entries_.emplace_back();
            entries_.back().corner = member;
            place(member, entries_.back().x);
        }
        root_[g] = build(begin, int(entries_.size()));
    }
    return search(corner, root_[g]);
}

}  // namespace kessa
