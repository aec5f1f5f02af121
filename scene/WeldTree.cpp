#include "scene/WeldTree.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kessa {

namespace {

constexpr unsigned none = 0xFFFFFFFFu;
// Held-back places with close ones, up to this many, are gathered pair by
// pair.
constexpr std::size_t shortList = 32;
// Cells are four tolerances wide: a place looks into the next cell only
// from within a quarter of a cell of its side (a little more, against
// rounding).
constexpr double reach = 1.0001 / 4;

// Spreads every bit of h over all bits: grid coordinates differ only in a
// few bits of their mantissas.
std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
}

std::uint64_t bitsOf(double d) {
    d += 0.0;  // -0 and 0 are one place
    std::uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

std::uint64_t hashOf(const double* p) {
    return mix(bitsOf(p[0]) * 0x9E3779B97F4A7C15ull + bitsOf(p[1]) * 0xC2B2AE3D27D4EB4Full + bitsOf(p[2]));
}

int octantOf(const double* p, const double* c) {
    return (p[0] > c[0] ? 1 : 0) | (p[1] > c[1] ? 2 : 0) | (p[2] > c[2] ? 4 : 0);
}

int bitsFor(std::size_t count) {
    int bits = 4;
    while ((std::size_t(1) << bits) < 2 * count)
        ++bits;
    return bits;
}

}  // namespace

bool WeldTree::close(const double* a, unsigned placeA, const double* b, unsigned placeB) const {
    double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
    double d2 = dx * dx + dy * dy + dz * dz;
    if (d2 == 0)
        return true;
    if (limit2_.empty())
        return d2 < tolerance2_;
    return d2 < tolerance2_ && d2 < limit2_[placeA] && d2 < limit2_[placeB];
}

void WeldTree::clear(std::size_t count) {
    positions_.clear();
    weights_.clear();
    positionOf_.clear();
    positionOf_.reserve(count);
    limit2_.clear();
    // Points mostly share their places: the table grows when they do not.
    table_.assign(std::size_t(1) << (bitsFor(count / 8) + 1), none);
}

std::size_t WeldTree::slotOf(const double* p) const { return hashOf(p) & (table_.size() - 1); }

// The place in the slot p's search starts at, most often p's own.
void WeldTree::fetchPlace(const double* p) const {
    const unsigned at = table_[slotOf(p)];
    if (at != none)
        __builtin_prefetch(&positions_[3 * std::size_t(at)]);
}

void WeldTree::insert(unsigned position) {
    const std::size_t mask = table_.size() - 1;
    std::size_t h = hashOf(&positions_[3 * std::size_t(position)]) & mask;
    while (table_[h] != none)
        h = (h + 1) & mask;
    table_[h] = position;
}

void WeldTree::grow() {
    table_.assign(table_.size() * 2, none);
    for (unsigned i = 0; i < unsigned(weights_.size()); ++i) {
        const double* p = &positions_[3 * std::size_t(i)];
        if (p[0] == p[0] && p[1] == p[1] && p[2] == p[2])
            insert(i);
    }
}

void WeldTree::add(const double p[3]) {
    if (2 * (weights_.size() + 1) > table_.size())
        grow();
    const unsigned next = unsigned(weights_.size());
    // A place with a NaN equals none, not even itself.
    if (p[0] == p[0] && p[1] == p[1] && p[2] == p[2]) {
        const std::size_t mask = table_.size() - 1;
        for (std::size_t h = hashOf(p) & mask;; h = (h + 1) & mask) {
            const unsigned at = table_[h];
            if (at == none) {
                table_[h] = next;
                break;
            }
            const double* q = &positions_[3 * std::size_t(at)];
            if (q[0] == p[0] && q[1] == p[1] && q[2] == p[2]) {
                positionOf_.push_back(at);
                ++weights_[at];
                return;
            }
        }
    }
    positionOf_.push_back(next);
    positions_.insert(positions_.end(), p, p + 3);
    weights_.push_back(1);
}

void WeldTree::limit(std::size_t point, double tolerance) {
    if (limit2_.empty())
        limit2_.assign(weights_.size(), HUGE_VAL);
    double& l = limit2_[positionOf_[point]];
    l = std::min(l, tolerance * tolerance);
}

void WeldTree::box(double lo[3], double hi[3]) const {
    if (weights_.empty())
        return;
    for (int axis = 0; axis < 3; ++axis)
        lo[axis] = hi[axis] = positions_[std::size_t(axis)];
    for (std::size_t i = 0; i < positions_.size(); i += 3)
        for (int axis = 0; axis < 3; ++axis) {
            lo[axis] = std::min(lo[axis], positions_[i + std::size_t(axis)]);
            hi[axis] = std::max(hi[axis], positions_[i + std::size_t(axis)]);
        }
}

bool WeldTree::bulkBox(double lo[3], double hi[3]) const {
    const std::size_t m = weights_.size();
    auto finite = [this](std::size_t i) {
        const double* p = &positions_[3 * i];
        return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
    };
    // The median and the distance most places lie within, from a sample
    // of at most a few thousand places spread over the list.
    std::vector<std::size_t> sample;
    for (std::size_t i = 0, step = std::max<std::size_t>(1, m / 4096); i < m; i += step)
        if (finite(i))
            sample.push_back(i);
    if (sample.empty())
        return false;
    std::vector<double> values(sample.size());
    double median[3];
    for (int axis = 0; axis < 3; ++axis) {
        for (std::size_t k = 0; k < sample.size(); ++k)
            values[k] = positions_[3 * sample[k] + std::size_t(axis)];
        std::nth_element(values.begin(), values.begin() + long(values.size() / 2), values.end());
        median[axis] = values[values.size() / 2];
    }
    auto distance = [&](std::size_t i) {
        const double* p = &positions_[3 * i];
        return std::max({std::fabs(p[0] - median[0]), std::fabs(p[1] - median[1]), std::fabs(p[2] - median[2])});
    };
    for (std::size_t k = 0; k < sample.size(); ++k)
        values[k] = distance(sample[k]);
    const std::size_t most = 3 * (values.size() - 1) / 4;
    std::nth_element(values.begin(), values.begin() + long(most), values.end());
    const double limit = 64 * values[most];
    bool stray = false, first = true;
    double low[3], high[3];
    for (std::size_t i = 0; i < m; ++i) {
        if (!finite(i) || (limit > 0 && distance(i) > limit)) {
            stray = true;
            continue;
        }
        for (int axis = 0; axis < 3; ++axis) {
            const double v = positions_[3 * i + std::size_t(axis)];
            low[axis] = first ? v : std::min(low[axis], v);
            high[axis] = first ? v : std::max(high[axis], v);
        }
        first = false;
    }
    if (stray) {
        std::copy(low, low + 3, lo);
        std::copy(high, high + 3, hi);
    }
    return stray;
}

std::int32_t WeldTree::cellOf(double p, int axis, double& within) const {
    const double size = rules_.tolerance > 0 ? 4 * rules_.tolerance : 1;
    // Cells are centred on the origin, so that places on a plane through it,
    // as flat ground often is, lie in the middle of their cells.
    double u = (p - origin_[axis]) / size + 0.5, c = std::floor(u);
    within = u - c;
    return std::isfinite(c) ? std::int32_t(std::clamp(c, -2e9, 2e9)) : 0;
}

// The cell of p, and the cells next to it that p lies near enough to
// (from -1 to 1 along each axis).
void WeldTree::neighbourhood(const double* p, std::int32_t at[3], int from[3], int to[3]) const {
    for (int axis = 0; axis < 3; ++axis) {
        double within;
        at[axis] = cellOf(p[axis], axis, within);
        from[axis] = within < reach ? -1 : 0;
        to[axis] = 1 - within <= reach ? 1 : 0;
    }
}

std::size_t WeldTree::slot(std::int32_t x, std::int32_t y, std::int32_t z, int bits) const {
    std::uint64_t h = std::uint64_t(std::uint32_t(x)) * 0x9E3779B97F4A7C15ull +
                      std::uint64_t(std::uint32_t(y)) * 0xC2B2AE3D27D4EB4Full + std::uint32_t(z);
    return std::size_t(mix(h) >> (64 - bits));
}

// The cell at x, y, z; a new one when make is set, else null when there is none.
WeldTree::Cell* WeldTree::findCell(std::int32_t x, std::int32_t y, std::int32_t z, bool make) {
    const std::size_t mask = (std::size_t(1) << cellBits_) - 1;
    for (std::size_t h = slot(x, y, z, cellBits_);; h = (h + 1) & mask) {
        Cell& c = cells_[h];
        if (c.stamp != stamp_) {
            if (!make)
                return nullptr;
            c = Cell{x, y, z, none, stamp_};
            return &c;
        }
        if (c.x == x && c.y == y && c.z == z)
            return &c;
    }
}

// Empties the cells for count places: a fresh stamp makes every old entry
// a free slot.
void WeldTree::startCells(std::size_t count) {
    cellBits_ = bitsFor(count);
    const std::size_t size = std::size_t(1) << cellBits_;
    if (cells_.size() < size)
        cells_.assign(size, Cell{0, 0, 0, none, 0});
    if (++stamp_ == 0) {
        for (Cell& c : cells_)
            c.stamp = 0;
        stamp_ = 1;
    }
}

// The mark of a cell: two bits (a place lies in it, and a second one does)
// in a hashed table. The 8 x 8 x 4 cells of a block share one cache line of
// marks, so a place and the cells next to it are mostly read at once; the
// low bits of the block's hash shuffle them within the line, so that
// blocks that share a line seldom share marks.
std::size_t WeldTree::markOf(std::int32_t x, std::int32_t y, std::int32_t z) const {
    const std::size_t cell = std::size_t(x & 7) | std::size_t(y & 7) << 3 | std::size_t(z & 3) << 6;
    return 2 * (slot(x >> 3, y >> 3, z >> 2, markBits_) ^ cell);
}

// Marks every place that has another within the tolerance. Most places
// have none, and most cells around a place are empty: the cells' marks
// rule out nearly every place without a large table. The places left are
// looked at closely through the grid.
void WeldTree::findCloseOnes() {
    const std::size_t m = weights_.size();
    hasClose_.assign(m, 0);
    markBits_ = std::max(12, bitsFor(8 * m));
    marks_.assign(std::size_t(1) << (markBits_ - 5), 0);
    auto test = [this](std::size_t bit) { return (marks_[bit >> 6] >> (bit & 63)) & 1; };
    double within;
    for (std::size_t i = 0; i < m; ++i) {
        const double* p = &positions_[3 * i];
        const std::size_t bit = markOf(cellOf(p[0], 0, within), cellOf(p[1], 1, within), cellOf(p[2], 2, within));
        marks_[bit >> 6] |= (test(bit) ? std::uint64_t(3) : std::uint64_t(1)) << (bit & 63);
    }
    near_.clear();
    for (std::size_t i = 0; i < m; ++i) {
        const double* p = &positions_[3 * i];
        std::int32_t at[3];
        int from[3], to[3];
        neighbourhood(p, at, from, to);
        bool maybe = test(markOf(at[0], at[1], at[2]) + 1) != 0;
        for (int dx = from[0]; dx <= to[0] && !maybe; ++dx)
            for (int dy = from[1]; dy <= to[1] && !maybe; ++dy)
                for (int dz = from[2]; dz <= to[2] && !maybe; ++dz)
                    maybe = (dx || dy || dz) && test(markOf(at[0] + dx, at[1] + dy, at[2] + dz));
        if (maybe)
            near_.push_back(unsigned(i));
    }

    // A place close to another has it in its own cell or in one it looks
    // into, so both are among those left.
    const std::size_t s = near_.size();
    startCells(s);
    chain_.resize(s);
    for (std::size_t a = s; a-- > 0;) {
        const double* p = &positions_[3 * std::size_t(near_[a])];
        Cell* c = findCell(cellOf(p[0], 0, within), cellOf(p[1], 1, within), cellOf(p[2], 2, within), true);
        chain_[a] = c->head;
        c->head = unsigned(a);
    }
    for (std::size_t a = 0; a < s; ++a) {
        const unsigned i = near_[a];
        if (hasClose_[i])
            continue;
        const double* p = &positions_[3 * std::size_t(i)];
        std::int32_t at[3];
        int from[3], to[3];
        neighbourhood(p, at, from, to);
        for (int dx = from[0]; dx <= to[0] && !hasClose_[i]; ++dx)
            for (int dy = from[1]; dy <= to[1] && !hasClose_[i]; ++dy)
                for (int dz = from[2]; dz <= to[2] && !hasClose_[i]; ++dz) {
                    const Cell* c = findCell(at[0] + dx, at[1] + dy, at[2] + dz, false);
                    for (unsigned b = c ? c->head : none; b != none; b = chain_[b]) {
                        const unsigned j = near_[b];
                        if (j != i && close(p, i, &positions_[3 * std::size_t(j)], j)) {
                            hasClose_[i] = hasClose_[j] = 1;
                            break;
                        }
                    }
                }
    }
}

void WeldTree::build(const Rules& rules, const double centre[3]) {
    rules_ = rules;
    tolerance2_ = rules.tolerance * rules.tolerance;
    std::copy(centre, centre + 3, origin_);
    const std::size_t m = weights_.size();
    groupStart_.clear();
    undivided_.clear();
    groupOfPosition_.assign(m, -1);
    if (m == 0) {
        groupStart_.push_back(0);
        return;
    }
    if (rules.pointByPoint) {
        pointStart_.assign(m + 1, 0);
        for (unsigned position : positionOf_)
            ++pointStart_[position + 1];
        for (std::size_t i = 0; i < m; ++i)
            pointStart_[i + 1] += pointStart_[i];
        pointList_.resize(positionOf_.size());
        std::vector<unsigned> fill(pointStart_.begin(), pointStart_.end() - 1);
        for (unsigned point = 0; point < unsigned(positionOf_.size()); ++point)
            pointList_[fill[positionOf_[point]]++] = point;
    }
    findCloseOnes();
    // A place that is not finite has no octant, and in a mean it would make
    // the centre no number, which sends every place of the cell one way: it
    // stays out of the tree, a group of its own after the tree's.
    items_.clear();
    items_.reserve(m);
    std::vector<unsigned> outside;
    for (std::size_t i = 0; i < m; ++i) {
        const double* p = &positions_[3 * i];
        if (std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]))
            items_.push_back(Item{{p[0], p[1], p[2]}, unsigned(i), 0});
        else
            outside.push_back(unsigned(i));
    }
    const std::size_t inside = items_.size();
    for (unsigned i : outside)
        items_.push_back(Item{{positions_[3 * i], positions_[3 * i + 1], positions_[3 * i + 2]}, i, 0});
    scratch_.resize(m);

    std::vector<Node> stack;
    if (inside > 0)
        stack.push_back({0, inside, {centre[0], centre[1], centre[2]}, true, false, false});
    while (!stack.empty()) {
        const Node node = stack.back();
        stack.pop_back();
        if (node.leaf) {
            const int group = int(groupStart_.size());
            groupStart_.push_back(node.begin);
            undivided_.push_back(node.undivided);
            for (std::size_t i = node.begin; i < node.end; ++i)
                groupOfPosition_[items_[i].position] = group;
            continue;
        }
        std::size_t bounds[9];
        partition(node, bounds);
        // Pushed last first, so that octant 0 comes out first.
        for (int o = 7; o >= 0; --o) {
            const std::size_t b = bounds[o], e = bounds[o + 1];
            if (b == e)
                continue;
            bool allClose = true;
            for (std::size_t i = b + 1; i < e && allClose; ++i)
                allClose = close(items_[b], items_[i]);
            const bool whole = e - b == node.end - node.begin;
            Node child{b, e, {0, 0, 0}, false, allClose || whole, !allClose && whole};
            if (!child.leaf)
                mean(b, e, child.centre);
            stack.push_back(child);
        }
    }
    for (std::size_t i = inside; i < m; ++i) {
        groupOfPosition_[items_[i].position] = int(groupStart_.size());
        groupStart_.push_back(i);
        undivided_.push_back(0);
    }
    groupStart_.push_back(m);
}

// Reorders the cell's places by octant, each octant in the order its places
// were sent there: first those sent straight, in order, then the held-back
// ones, each with the later held-back ones close to it; bounds[o] to
// bounds[o + 1] is octant o. Places that went together into one gathering
// and were one block stay one block.
void WeldTree::partition(const Node& node, std::size_t bounds[9]) {
    const std::size_t begin = node.begin, n = node.end - node.begin;
    const double* c = node.centre;
    const double t = rules_.tolerance;
    octant_.resize(n);
    lead_.resize(n);
    placed_.clear();
    held_.clear();
    near_.clear();
    gathering_.clear();
    for (unsigned k = 0; k < unsigned(n); ++k) {
        const Item& it = items_[begin + k];
        const double* p = it.p;
        bool held;
        if (rules_.slabsOnEveryLevel)
            held = (c[0] - t < p[0] && p[0] < c[0] + t) || (c[1] - t < p[1] && p[1] < c[1] + t) ||
                   (c[2] - t < p[2] && p[2] < c[2] + t);
        else
            held = !node.top || std::fabs(p[0] - c[0]) < t || std::fabs(p[1] - c[1]) < t || std::fabs(p[2] - c[2]) < t;
        if (held) {
            held_.push_back(k);
            if (hasClose_[it.position])
                near_.push_back(k);
        } else {
            octant_[k] = (unsigned char)octantOf(p, c);
            lead_[k] = none;
            placed_.push_back(k);
        }
    }
    if (near_.size() > shortList)
        gatherByCells(begin);
    else
        gatherPairs(begin);
    std::size_t g = 0;
    for (unsigned k : held_) {
        const Item& it = items_[begin + k];
        if (!hasClose_[it.position]) {
            octant_[k] = (unsigned char)octantOf(it.p, c);
            lead_[k] = k;
            placed_.push_back(k);
        } else if (lead_[k] == k) {
            const unsigned char o = (unsigned char)octantOf(it.p, c);
            do {
                const unsigned member = gathering_[g++];
                octant_[member] = o;
                placed_.push_back(member);
            } while (g < gathering_.size() && lead_[gathering_[g]] != gathering_[g]);
        }
    }

    std::size_t count[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    for (unsigned k : placed_)
        ++count[octant_[k]];
    bounds[0] = begin;
    for (int o = 0; o < 8; ++o)
        bounds[o + 1] = bounds[o] + count[o];
    std::size_t fill[8];
    std::copy(bounds, bounds + 8, fill);
    unsigned last[8] = {none, none, none, none, none, none, none, none};
    unsigned blocks = 0;
    for (unsigned k : placed_) {
        const unsigned o = octant_[k];
        Item it = items_[begin + k];
        const unsigned before = last[o];
        if (before != none && lead_[before] == lead_[k] && items_[begin + before].block == it.block)
            it.block = scratch_[fill[o] - 1].block;
        else
            it.block = blocks++;
        scratch_[fill[o]++] = it;
        last[o] = k;
    }
    std::copy(scratch_.begin() + long(begin), scratch_.begin() + long(node.end), items_.begin() + long(begin));
}

// The held-back place near_[at] joins the gathering that place lead begins.
void WeldTree::gather(std::size_t at, unsigned lead) {
    taken_[at] = 1;
    lead_[near_[at]] = lead;
    gathering_.push_back(near_[at]);
}

// Each held-back place with close ones that is still free, in order, takes
// every later free one close to it.
void WeldTree::gatherPairs(std::size_t begin) {
    const std::size_t s = near_.size();
    taken_.assign(s, 0);
    for (std::size_t a = 0; a < s; ++a) {
        if (taken_[a])
            continue;
        const unsigned ka = near_[a];
        gather(a, ka);
        for (std::size_t b = a + 1; b < s; ++b)
            if (!taken_[b] && close(items_[begin + ka], items_[begin + near_[b]]))
                gather(b, ka);
    }
}

// The same gathering through the grid: a place can only be close to places
// in its own cell or, near a side of it, in the cell beyond.
void WeldTree::gatherByCells(std::size_t begin) {
    const std::size_t s = near_.size();
    startCells(s);
    chain_.resize(s);
    double within;
    for (std::size_t a = s; a-- > 0;) {
        const double* p = items_[begin + near_[a]].p;
        Cell* c = findCell(cellOf(p[0], 0, within), cellOf(p[1], 1, within), cellOf(p[2], 2, within), true);
        chain_[a] = c->head;
        c->head = unsigned(a);
    }
    taken_.assign(s, 0);
    for (std::size_t a = 0; a < s; ++a) {
        if (taken_[a])
            continue;
        const unsigned ka = near_[a];
        const Item& lead = items_[begin + ka];
        gather(a, ka);
        const std::size_t gathered = gathering_.size();
        std::int32_t at[3];
        int from[3], to[3];
        neighbourhood(lead.p, at, from, to);
        for (int dx = from[0]; dx <= to[0]; ++dx)
            for (int dy = from[1]; dy <= to[1]; ++dy)
                for (int dz = from[2]; dz <= to[2]; ++dz) {
                    Cell* c = findCell(at[0] + dx, at[1] + dy, at[2] + dz, false);
                    if (!c)
                        continue;
                    // Taken places leave the chains as they are met.
                    for (unsigned* link = &c->head; *link != none;) {
                        const unsigned b = *link;
                        if (!taken_[b] && close(lead, items_[begin + near_[b]]))
                            gather(b, ka);
                        if (taken_[b])
                            *link = chain_[b];
                        else
                            link = &chain_[b];
                    }
                }
        // In order, as the pair-by-pair gathering takes them.
        std::sort(gathering_.begin() + long(gathered), gathering_.end());
    }
}

// Appends the points of the places from begin to end, which are one block:
// in the order they were added.
void WeldTree::appendBlock(std::size_t begin, std::size_t end, std::vector<unsigned>& points) const {
    const std::size_t first = points.size();
    for (std::size_t i = begin; i < end; ++i) {
        const unsigned position = items_[i].position;
        points.insert(points.end(), pointList_.begin() + long(pointStart_[position]),
                      pointList_.begin() + long(pointStart_[position + 1]));
    }
    if (end - begin > 1)
        std::sort(points.begin() + long(first), points.end());
}

std::size_t WeldTree::blockEnd(std::size_t i, std::size_t end) const {
    std::size_t j = i + 1;
    while (j < end && items_[j].block == items_[i].block)
        ++j;
    return j;
}

double WeldTree::sumPoints(std::size_t begin, std::size_t end, double scale, double sum[3]) {
    sum[0] = sum[1] = sum[2] = 0;
    double count = 0;
    if (!rules_.pointByPoint) {
        for (std::size_t i = begin; i < end; ++i) {
            const double w = weights_[items_[i].position];
            for (int axis = 0; axis < 3; ++axis)
                sum[axis] += w * items_[i].p[axis] * scale;
            count += w;
        }
        return count;
    }
    // Point by point, in the points' order, as the points' own tree sums.
    for (std::size_t i = begin; i < end;) {
        const std::size_t j = blockEnd(i, end);
        if (j == i + 1) {
            const double* p = items_[i].p;
            const unsigned w = weights_[items_[i].position];
            for (unsigned k = 0; k < w; ++k)
                for (int axis = 0; axis < 3; ++axis)
                    sum[axis] += p[axis] * scale;
            count += w;
        } else {
            run_.clear();
            appendBlock(i, j, run_);
            for (unsigned point : run_)
                for (int axis = 0; axis < 3; ++axis)
                    sum[axis] += positions_[3 * std::size_t(positionOf_[point]) + std::size_t(axis)] * scale;
            count += double(run_.size());
        }
        i = j;
    }
    return count;
}

void WeldTree::mean(std::size_t begin, std::size_t end, double centre[3]) {
    double sum[3];
    const double count = sumPoints(begin, end, 1, sum);
    for (int axis = 0; axis < 3; ++axis)
        centre[axis] = rules_.pointByPoint ? sum[axis] * (1.0 / count) : sum[axis] / count;
    // Places far out may sum past the largest double: summed again scaled
    // down, so that the centre is a number.
    if (!std::isfinite(centre[0]) || !std::isfinite(centre[1]) || !std::isfinite(centre[2]))
        sumPoints(begin, end, 1.0 / count, centre);
}

void WeldTree::pointsOf(int g, std::vector<unsigned>& points) const {
    points.clear();
    const std::size_t end = groupStart(g + 1);
    for (std::size_t i = groupStart(g); i < end;) {
        const std::size_t j = blockEnd(i, end);
        appendBlock(i, j, points);
        i = j;
    }
}

}  // namespace kessa
