// How deep a stream may nest what it holds. Walks over a scene (cleaning,
// drawing, collision, rays, deleting) go down by recursion, a level of the
// stack a level of what they walk, so no walk over what a stream links may
// go more than maxDepth levels deep: a link past that is dropped, with a
// "!!!" line. Trees of parts that owners take over from a stream (groups'
// children, cull trees) are bounded as each link is made, by a
// StreamNesting in every node that can hold others; the nesting that
// instance branches and external databases add, which only the whole stream
// shows, once the stream is read (InstanceNesting). Reading itself nests a
// whole stream's reading for each external database a stream names: files
// are read one inside another at most maxFiles deep.
#pragma once

#include <vector>

#include "base/Streamable.h"

namespace kessa {

class InstanceBranch;
class Object;

class StreamNesting {
public:
    static constexpr int maxDepth = 1000;
    static constexpr int maxFiles = 16;

    enum Adoption { adopted, ring, tooDeep };
    // Puts the tree whose top is child one level below this node, unless
    // that would make a ring (child is this node's top) or put a node more
    // than maxDepth levels below the top. A null child stands for a part
    // that holds nothing. The owner then takes the part over exactly when
    // the answer is adopted.
    Adoption adopt(StreamNesting* child);

    // Links followed to find tops, over the whole process.
    static unsigned long steps();

private:
    // The top of this node's tree, and this node's depth below it. Links
    // are pointed straight at the top as they are followed, so the top is
    // found in a step or two however deep the tree: a link that would close
    // a ring is refused at once.
    StreamNesting* top(int& depth);

    // A node above this one (none at the top) and how far above; at the
    // top, the depth of the deepest node below.
    StreamNesting* up_ = nullptr;
    int depth_ = 0;
    int height_ = 0;
};

// The instance branches of one stream and its objects that show external
// databases. Once it is read, the objects their instances name and the
// databases shown are ordered, those shown before those that show them, and
// an instance or external reference that would put anything more than
// maxDepth levels below the top of a walk, or that shows what holds the
// branch itself, is dropped. A database shown counts as deep as the
// deepest of its objects, which is worked out once and kept with it
// (Database::nestingHeight). Cleaning, walking and deleting then stay
// within the bound, whichever object they start from and however many
// files one reaches through another.
class InstanceNesting : public orvel::ReadFinisher {
public:
    // The one of the read under way; null without a reader.
    static InstanceNesting* of(orvel::DataSource& in);
    void add(InstanceBranch* branch) { branches_.push_back(branch); }
    // An object whose root shows an external database once it is read.
    void addExternal(Object* object) { externals_.push_back(object); }
    void finish() override;

    // Branches, instances and external references looked at, over the
    // whole process.
    static unsigned long steps();

private:
    std::vector<InstanceBranch*> branches_;
    std::vector<Object*> externals_;
};

}  // namespace kessa
