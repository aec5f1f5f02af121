// The end of a read: references filled, counted-pointer records given their
// holders and counts, postRead, and what nothing refers to deleted.
#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include "StreamReader.h"
#include "base/Debug.h"

using orvel::CountedRecord;
using orvel::DataSource;
using orvel::Streamable;

void StreamReader::fixUp() {
    auto byId = [](const Object& a, const Object& b) { return a.id < b.id; };
    if (!std::is_sorted(objects_.begin(), objects_.end(), byId))
        std::stable_sort(objects_.begin(), objects_.end(), byId);

    unsigned counted = findTargets();
    records_.clear();
    for (unsigned i = 0; i < objects_.size(); ++i) {
        Object& o = objects_[i];
        if (o.counted) {
            o.record = dynamic_cast<CountedRecord*>(o.object);
            records_.push_back(i);
        }
    }
    keepLastCountedReads(counted);

    filled_ = true;
    countedReferences_.clear();
    countedReferences_.reserve(counted);
    unsigned rootRefused = 0;
    for (unsigned k = 0; k < references_.size(); ++k) {
        Reference& r = references_[k];
        if (r.hold == DataSource::Hold::count) {
            if (r.fill && r.target != noTarget)
                countedReferences_.push_back(k);
            continue;
        }
        if (r.target == noTarget) {
            r.fill(r.slot, r.index, nullptr);
            continue;
        }
        Object& o = objects_[r.target];
        // The caller's holder owns the root; an owner taking it would
        // delete it under that holder.
        if (r.hold == DataSource::Hold::own && o.object == root_) {
            ++rootRefused;
            continue;
        }
        if (r.fill(r.slot, r.index, o.object)) {
            r.filled = true;
            ++o.holders;
            if (r.hold == DataSource::Hold::own)
                o.owned = true;
        }
    }
    if (rootRefused > 0)
        orvel::debug("!!!Stream reader: owners named the root %u times; it stays the caller's\n", rootRefused);
    fillCounted();

    for (unsigned i : records_)
        objects_[i].object->postRead();
    for (Object& o : objects_) {
        if (!o.counted)
            o.object->postRead();
    }
}

// Every reference is looked up before any slot is given anything, so a bad
// one leaves all objects unshared and deletable. Gives the number of
// counted references.
unsigned StreamReader::findTargets() {
    unsigned n = unsigned(objects_.size());
    unsigned counted = 0;
    for (Reference& r : references_) {
        if (r.hold == DataSource::Hold::count)
            ++counted;
        if (r.id == 0)
            continue;
        // Ids from StreamWriter count up from 1 in stream order.
        unsigned i = r.id - 1;
        if (i >= n || objects_[i].id != r.id) {
            auto found = std::lower_bound(objects_.begin(), objects_.end(), r.id,
                                          [](const Object& o, unsigned id) { return o.id < id; });
            if (found == objects_.end() || found->id != r.id)
                throw std::logic_error("Bad pointer");
            i = unsigned(found - objects_.begin());
        }
        r.target = i;
    }
    return counted;
}

// A counted slot read more than once keeps the last record it was given,
// as an assignment would; the earlier ones must not count. The slots go
// into an open-addressed table of twice their number or more, made once.
void StreamReader::keepLastCountedReads(unsigned counted) {
    if (counted < 2)
        return;
    unsigned bits = 1;
    while ((size_t(1) << bits) < size_t(counted) * 2)
        ++bits;
    countedSlots_.assign(size_t(1) << bits, nullptr);
    const size_t mask = countedSlots_.size() - 1;
    for (auto r = references_.rbegin(); r != references_.rend(); ++r) {
        if (r->hold != DataSource::Hold::count)
            continue;
        size_t h = size_t((std::uintptr_t(r->slot) >> 3) * 0x9E3779B97F4A7C15ull >> (64 - bits));
        while (countedSlots_[h] && countedSlots_[h] != r->slot)
            h = (h + 1) & mask;
        if (countedSlots_[h])
            r->fill = nullptr;
        else
            countedSlots_[h] = r->slot;
    }
}

// Counted holders get their records once every other slot, the records'
// own included, holds its object, and before any postRead.
void StreamReader::fillCounted() {
    // Who owns what is settled first: a record that may not own its pointee
    // is left holding nothing, and its own slot no longer counts. A record's
    // body reads one reference, its pointee.
    for (unsigned i : records_) {
        Object& o = objects_[i];
        CountedRecord* record = o.record;
        if (!record || !record->read_)
            continue;
        Reference& held = references_[o.firstReference];
        Object& pointee = objects_[held.target];
        if (!pointee.record && !pointee.owned) {
            pointee.owned = true;
            // The caller's holder of the root will share this record: it
            // counts, so the record outlives what the stream drops.
            if (pointee.object == root_) {
                rootRecord_ = record;
                ++o.holders;
            }
            continue;
        }
        record->read_ = nullptr;
        held.filled = false;
        --pointee.holders;
    }
    for (unsigned k : countedReferences_) {
        Reference& r = references_[k];
        Object& o = objects_[r.target];
        if (o.record && r.fill(r.slot, r.index, o.record)) {
            r.filled = true;
            ++o.holders;
        }
    }
    // A count is what the stream holds of the record: fewer would free the
    // object under a holder, more could never be released. Holders were
    // filled without touching counts, and none was let go meanwhile.
    for (unsigned i : records_) {
        Object& o = objects_[i];
        if (o.record)
            o.record->count = o.holders;
    }
}

// A record of the stream that holds the root shares it with the caller,
// who takes the count fillCounted gave it.
orvel::counted_ptr<Streamable> StreamReader::handOut() {
    if (!root_)
        return nullptr;
    orvel::counted_ptr<Streamable> root = rootRecord_ ? orvel::counted_ptr<Streamable>::adopt(root_, rootRecord_)
                                                      : orvel::counted_ptr<Streamable>(root_);
    root_ = nullptr;
    return root;
}

// After the root is handed out, so that what holds it cannot take it along.
void StreamReader::deleteUnheld(const Streamable* root) {
    bool any = false;
    for (Object& o : objects_) {
        o.freed = o.holders == 0 && o.object != root;
        any = any || o.freed;
    }
    if (!any)
        return;
    keepWhatStaysHeld();
    unsigned dropped = 0;
    for (Object& o : objects_) {
        if (o.holders == 0 && o.freed) {
            delete o.object;
            ++dropped;
        }
    }
    if (dropped > 0)
        orvel::debug("!!!Stream reader: %u unreferenced objects deleted\n", dropped);
}

// Deleting an object frees more than itself: what it alone owns (an object
// that several owning slots hold counts them), each record whose last
// holder it was, and what such a record owns. An object that a slot
// staying behind still holds must not go that way: the objects that would
// free it stay too, and a record that would free it lets it go instead.
// Marks freed what may be deleted with the objects marked so far. Only
// reads that drop something come here.
void StreamReader::keepWhatStaysHeld() {
    const unsigned n = unsigned(objects_.size());
    std::vector<unsigned> work;
    // The holders that keep each record, the owners that keep each other
    // object; freeing the last of them frees it.
    std::vector<unsigned> left(n, 0);
    for (unsigned i = 0; i < n; ++i) {
        if (objects_[i].record)
            left[i] = objects_[i].holders;
        if (objects_[i].freed)
            work.push_back(i);
    }
    for (const Reference& r : references_) {
        if (r.filled && r.hold == DataSource::Hold::own && !objects_[r.target].record)
            ++left[r.target];
    }
    auto drop = [&](unsigned i) {
        if (!objects_[i].freed) {
            objects_[i].freed = true;
            work.push_back(i);
        }
    };
    while (!work.empty()) {
        const Object& o = objects_[work.back()];
        work.pop_back();
        for (unsigned k = o.firstReference; k < o.endReference; ++k) {
            const Reference& r = references_[k];
            if (!r.filled)
                continue;
            bool keeps = objects_[r.target].record || r.hold == DataSource::Hold::own;
            if (keeps && --left[r.target] == 0)
                drop(r.target);
        }
        if (o.record && o.record->read_)
            drop(references_[o.firstReference].target);
    }

    // The owners of each object, found by walking back from what stays.
    std::vector<unsigned> ownersStart(n + 1, 0);
    for (const Reference& r : references_) {
        if (r.filled && r.hold == DataSource::Hold::own)
            ++ownersStart[r.target + 1];
    }
    for (unsigned i = 0; i < n; ++i)
        ownersStart[i + 1] += ownersStart[i];
    std::vector<unsigned> owners(ownersStart[n]);
    std::vector<unsigned> next(ownersStart.begin(), ownersStart.end() - 1);
    for (unsigned i = 0; i < n; ++i) {
        for (unsigned k = objects_[i].firstReference; k < objects_[i].endReference; ++k) {
            const Reference& r = references_[k];
            if (r.filled && r.hold == DataSource::Hold::own)
                owners[next[r.target]++] = i;
        }
    }

    auto keep = [&](unsigned i) {
        if (objects_[i].freed) {
            objects_[i].freed = false;
            work.push_back(i);
        }
    };
    auto keepHeld = [&](unsigned i) {
        for (unsigned k = objects_[i].firstReference; k < objects_[i].endReference; ++k) {
            if (references_[k].filled)
                keep(references_[k].target);
        }
    };
    for (unsigned i = 0; i < n; ++i) {
        if (!objects_[i].freed)
            keepHeld(i);
    }
    while (!work.empty()) {
        unsigned i = work.back();
        work.pop_back();
        for (unsigned k = ownersStart[i]; k < ownersStart[i + 1]; ++k)
            keep(owners[k]);
        keepHeld(i);
    }
    for (unsigned i : records_) {
        Object& o = objects_[i];
        if (o.freed && o.record && o.record->read_ && !objects_[references_[o.firstReference].target].freed)
            o.record->read_ = nullptr;
    }
}
