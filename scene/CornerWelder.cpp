#include "scene/CornerWelder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/Debug.h"

namespace kessa {

namespace {

constexpr unsigned none = 0xFFFFFFFFu;
// Straddle lists up to this long are gathered pair by pair.
constexpr unsigned shortList = 32;

double coordinate(const GeoBunch::Float3& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

double distance2(const GeoBunch::Float3& a, const GeoBunch::Float3& b) {
    double dx = double(a.x) - b.x, dy = double(a.y) - b.y, dz = double(a.z) - b.z;
    return dx * dx + dy * dy + dz * dz;
}

}  // namespace

bool CornerWelder::close(unsigned a, unsigned b) const {
    double d2 = distance2((*corners_)[a], (*corners_)[b]);
    return d2 == 0 || d2 < tolerance2_;
}

int CornerWelder::octant(unsigned corner, const double centre[3]) const {
    const GeoBunch::Float3& p = (*corners_)[corner];
    return (p.x > centre[0] ? 1 : 0) | (p.y > centre[1] ? 2 : 0) | (p.z > centre[2] ? 4 : 0);
}

// Corners at one position always take the same way through the tree, in
// the order of the first of them, so the tree is built over the distinct
// positions, each standing for its corners.
void CornerWelder::gatherPositions(const std::vector<GeoBunch::Float3>& corners) {
    const unsigned n = unsigned(corners.size());
    positions_.clear();
    weights_.clear();
    positionOf_.resize(n);
    std::size_t size = 16;
    while (size < 2 * std::size_t(n))
        size *= 2;
    table_.assign(size, none);
    auto bits = [](float f) {
        if (f == 0)
            f = 0;
        std::uint32_t b;
        std::memcpy(&b, &f, sizeof b);
        return std::uint64_t(b);
    };
    for (unsigned i = 0; i < n; ++i) {
        const GeoBunch::Float3& p = corners[i];
        std::uint64_t key = (bits(p.x) * 0x9E3779B97F4A7C15ull) ^ (bits(p.y) * 0xC2B2AE3D27D4EB4Full) ^ bits(p.z);
        std::size_t h = std::size_t((key * 0x9E3779B97F4A7C15ull) >> 20) & (size - 1);
        for (;; h = (h + 1) & (size - 1)) {
            unsigned at = table_[h];
            if (at == none) {
                table_[h] = unsigned(positions_.size());
                positionOf_[i] = unsigned(positions_.size());
                positions_.push_back(p);
                weights_.push_back(1);
                break;
            }
            const GeoBunch::Float3& q = positions_[at];
            if (q.x == p.x && q.y == p.y && q.z == p.z) {
                positionOf_[i] = at;
                ++weights_[at];
                break;
            }
        }
    }
}

int CornerWelder::weld(const std::vector<GeoBunch::Float3>& corners, std::vector<int>& groupOf) {
    groups_ = 0;
    const unsigned n = unsigned(corners.size());
    groupOf.assign(n, -1);
    if (n == 0)
        return 0;
    gatherPositions(corners);
    corners_ = &positions_;
    const unsigned m = unsigned(positions_.size());

    double lo[3], hi[3];
    for (int axis = 0; axis < 3; ++axis)
        lo[axis] = hi[axis] = coordinate(positions_[0], axis);
    for (const GeoBunch::Float3& p : positions_) {
        for (int axis = 0; axis < 3; ++axis) {
            lo[axis] = std::min(lo[axis], coordinate(p, axis));
            hi[axis] = std::max(hi[axis], coordinate(p, axis));
        }
    }
    Cell top;
    double diagonal2 = 0;
    for (int axis = 0; axis < 3; ++axis) {
        top.centre[axis] = (lo[axis] + hi[axis]) * 0.5;
        diagonal2 += (hi[axis] - lo[axis]) * (hi[axis] - lo[axis]);
    }
    double r = std::sqrt(diagonal2) * 0.5;
    tolerance_ = r > 0 ? r * 8e-5 : 0;
    tolerance2_ = tolerance_ * tolerance_;

    order_.resize(m);
    for (unsigned i = 0; i < m; ++i)
        order_[i] = i;
    scratch_.resize(m);
    groupOfPosition_.assign(m, -1);
    top.begin = 0;
    top.end = m;
    stack_.clear();
    stack_.push_back(top);
    while (!stack_.empty()) {
        Cell cell = stack_.back();
        stack_.pop_back();
        resolve(cell);
    }
    for (unsigned i = 0; i < n; ++i)
        groupOf[i] = groupOfPosition_[positionOf_[i]];
    return groups_;
}

void CornerWelder::resolve(const Cell& cell) {
    const unsigned m = cell.end - cell.begin;
    const double* c = cell.centre;
    const double tol = tolerance_;
    child_.resize(m);
    straddlers_.clear();
    gathering_.clear();
    for (unsigned k = 0; k < m; ++k) {
        unsigned corner = order_[cell.begin + k];
        const GeoBunch::Float3& p = (*corners_)[corner];
        bool straddles = (c[0] - tol < p.x && p.x < c[0] + tol) || (c[1] - tol < p.y && p.y < c[1] + tol) ||
                         (c[2] - tol < p.z && p.z < c[2] + tol);
        if (straddles) {
            child_[k] = -1;
            straddlers_.push_back(k);
        } else {
            child_[k] = octant(corner, c);
        }
    }
    gatherStraddlers(cell);

    // Each side lists the corners sent to it directly, in order, then the
    // straddlers it was given, in the order they were gathered.
    unsigned count[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    for (unsigned k = 0; k < m; ++k)
        ++count[child_[k] & 7];
    unsigned start[9];
    start[0] = 0;
    for (int i = 0; i < 8; ++i)
        start[i + 1] = start[i] + count[i];
    unsigned fill[8];
    std::copy(start, start + 8, fill);
    for (unsigned k = 0; k < m; ++k)
        if (child_[k] < 8)
            scratch_[fill[child_[k]]++] = order_[cell.begin + k];
    for (unsigned k : gathering_)
        scratch_[fill[child_[k] & 7]++] = order_[cell.begin + k];
    std::copy(scratch_.begin(), scratch_.begin() + m, order_.begin() + cell.begin);

    for (int i = 0; i < 8; ++i)
        if (count[i] > 0)
            closeSide(cell.begin + start[i], cell.begin + start[i + 1], m);
}

void CornerWelder::gatherStraddlers(const Cell& cell) {
    const unsigned s = unsigned(straddlers_.size());
    if (s > shortList) {
        gatherByHash(cell);
        return;
    }
    taken_.assign(s, 0);
    for (unsigned a = 0; a < s; ++a) {
        if (taken_[a])
            continue;
        taken_[a] = 1;
        unsigned ka = straddlers_[a];
        unsigned first = order_[cell.begin + ka];
        int side = 8 + octant(first, cell.centre);
        child_[ka] = side;
        gathering_.push_back(ka);
        for (unsigned b = a + 1; b < s; ++b) {
            unsigned kb = straddlers_[b];
            if (!taken_[b] && close(first, order_[cell.begin + kb])) {
                taken_[b] = 1;
                child_[kb] = side;
                gathering_.push_back(kb);
            }
        }
    }
}

// The same gathering in near-linear time: a straddler can only be close to
// straddlers in its own grid cell or, when it lies within the tolerance of
// a side of its cell, in the cell beyond that side. Cells are four
// tolerances wide, so most corners look into one or two cells; the reach is
// taken a little wider than the tolerance against rounding.
void CornerWelder::gatherByHash(const Cell& cell) {
    const unsigned s = unsigned(straddlers_.size());
    const double scale = 1.0 / (4 * tolerance_);
    const double reach = 1.0001 / 4;
    auto place = [&](unsigned k, int axis) {
        const GeoBunch::Float3& p = (*corners_)[order_[cell.begin + k]];
        return (coordinate(p, axis) - cell.centre[axis]) * scale;
    };
    // Corners lie within the box, at most 12,500 tolerances from the centre.
    auto key = [](long x, long y, long z) {
        const long bias = 1L << 20;
        return std::uint64_t(x + bias) | std::uint64_t(y + bias) << 21 | std::uint64_t(z + bias) << 42;
    };
    std::size_t size = 16;
    int bits = 4;
    while (size < 2 * std::size_t(s)) {
        size *= 2;
        ++bits;
    }
    if (slots_.size() < size)
        slots_.assign(size, Slot{0, 0, none});
    if (++stamp_ == 0) {
        for (Slot& slot : slots_)
            slot.stamp = 0;
        stamp_ = 1;
    }
    auto find = [&](std::uint64_t k, bool make) -> Slot* {
        std::size_t h = std::size_t((k * 0x9E3779B97F4A7C15ull) >> (64 - bits));
        while (slots_[h].stamp == stamp_) {
            if (slots_[h].key == k)
                return &slots_[h];
            h = (h + 1) & (size - 1);
        }
        if (!make)
            return nullptr;
        slots_[h] = Slot{k, stamp_, none};
        return &slots_[h];
    };

    chain_.resize(s);
    for (unsigned a = s; a-- > 0;) {
        unsigned k = straddlers_[a];
        Slot* slot = find(key(long(std::floor(place(k, 0))), long(std::floor(place(k, 1))), long(std::floor(place(k, 2)))), true);
        chain_[a] = slot->head;
        slot->head = a;
    }
    taken_.assign(s, 0);
    for (unsigned a = 0; a < s; ++a) {
        if (taken_[a])
            continue;
        taken_[a] = 1;
        unsigned ka = straddlers_[a];
        unsigned first = order_[cell.begin + ka];
        int side = 8 + octant(first, cell.centre);
        child_[ka] = side;
        gathering_.push_back(ka);
        const std::size_t gathered = gathering_.size();
        long at[3], from[3], to[3];
        for (int axis = 0; axis < 3; ++axis) {
            double f = place(ka, axis);
            at[axis] = long(std::floor(f));
            double within = f - double(at[axis]);
            from[axis] = within < reach ? -1 : 0;
            to[axis] = 1 - within < reach ? 1 : 0;
        }
        for (long dx = from[0]; dx <= to[0]; ++dx)
            for (long dy = from[1]; dy <= to[1]; ++dy)
                for (long dz = from[2]; dz <= to[2]; ++dz) {
                    Slot* slot = find(key(at[0] + dx, at[1] + dy, at[2] + dz), false);
                    if (!slot)
                        continue;
                    // Taken straddlers leave the chains as they are met.
                    for (unsigned* link = &slot->head; *link != none;) {
                        unsigned b = *link;
                        unsigned kb = straddlers_[b];
                        if (!taken_[b] && close(first, order_[cell.begin + kb])) {
                            taken_[b] = 1;
                            child_[kb] = side;
                            gathering_.push_back(kb);
                        }
                        if (taken_[b])
                            *link = chain_[b];
                        else
                            link = &chain_[b];
                    }
                }
        // In list order, as the pair-by-pair gathering takes them.
        std::sort(gathering_.begin() + long(gathered), gathering_.end());
    }
}

void CornerWelder::closeSide(unsigned begin, unsigned end, unsigned parentCount) {
    const std::vector<GeoBunch::Float3>& corners = *corners_;
    const unsigned first = order_[begin];
    bool allClose = true;
    double sum[3] = {0, 0, 0};
    double count = 0;
    for (unsigned i = begin; i < end; ++i) {
        const GeoBunch::Float3& p = corners[order_[i]];
        const double w = weights_[order_[i]];
        sum[0] += w * p.x;
        sum[1] += w * p.y;
        sum[2] += w * p.z;
        count += w;
        if (allClose && i > begin) {
            double d2 = distance2(corners[first], p);
            if (d2 != 0 && d2 >= tolerance2_)
                allClose = false;
        }
    }
    if (!allClose && end - begin == parentCount) {
        orvel::debug("Safety...\n");
        const unsigned last = order_[end - 1];
        for (unsigned i = begin; i < end; ++i) {
            const GeoBunch::Float3& p = corners[order_[i]];
            for (unsigned k = 0; k < weights_[order_[i]]; ++k)
                orvel::debug("v=%.12f,%.12f,%.12f  match=%d\n", double(p.x), double(p.y), double(p.z),
                             close(order_[i], last) ? 1 : 0);
        }
        allClose = true;
    }
    if (allClose) {
        int group = groups_++;
        for (unsigned i = begin; i < end; ++i)
            groupOfPosition_[order_[i]] = group;
        return;
    }
    Cell cell;
    for (int axis = 0; axis < 3; ++axis)
        cell.centre[axis] = sum[axis] / count;
    cell.begin = begin;
    cell.end = end;
    stack_.push_back(cell);
}

}  // namespace kessa
