// One scene: the objects read from one file or built by one model reader, the
// root object that is drawn, the file it came from, and the external-reference
// branches that show it inside other scenes. The model library derives its
// model database from it, so clean stays virtual.
//
// A database is a collider: for each motion it gathers the triangles of the
// branches whose bounds meet the motion's swept bounds, in the motion's
// space, and the moving sphere is tested against them.
#pragma once

#include <memory>
#include <vector>

#include "base/FilePath.h"
#include "base/Refcountable.h"
#include "base/Streamable.h"
#include "base/counted_ptr.h"
#include "scene/Bounds.h"
#include "scene/BunchCallbacks.h"
#include "scene/TriangleCollider.h"

namespace kessa {

class ExrefBranch;
class Object;
class Traverser;

class Database : public TriangleCollider, public orvel::Streamable {
public:
    class ObjectProcessor {
    public:
        virtual ~ObjectProcessor() = default;
        virtual void process(Object* object) = 0;
    };

    class DBCollider;

    Database();
    // Deletes the objects, the last first.
    ~Database() override;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Splits the branches listed for splitting (BunchSplitter.h), then
    // cleans every object when dirty.
    virtual void clean();

    // Takes the object over; the first one added becomes the root.
    void addObject(std::unique_ptr<Object> object);
    // The same for an object in a counted holder that is its only one (the
    // holder is emptied); one that other holders share is refused with a
    // log line.
    void addObject(orvel::counted_ptr<Object>& holder);
    void setRootObject(Object* object) { root_ = object; }
    Object* rootObject() const { return root_; }
    const std::vector<Object*>& objects() const { return objects_; }
    void processObjects(ObjectProcessor& processor);

    void markDirty() { dirty_ = true; }
    bool isDirty() const { return dirty_; }
    // The root object's bounds, cleaned first; an empty record without a root.
    const Bounds& bounds();
    // Walks the root object.
    void accumulate(Traverser& traverser);

    // The external-reference branches showing this database; each is listed once.
    void addExref(ExrefBranch* branch);
    void removeExref(ExrefBranch* branch);
    const std::vector<ExrefBranch*>& exrefs() const { return exrefs_; }
    // How many levels walks go below the database's objects, as the first
    // stream that showed it through an external reference found it; -1
    // until then (InstanceNesting).
    int nestingHeight() const { return nestingHeight_; }
    void setNestingHeight(int height) { nestingHeight_ = height; }

    const orvel::FilePath& path() const { return path_; }
    void setPath(const orvel::FilePath& path) { path_ = path; }
    // The file name part of the path.
    const orvel_string& name() const { return path_.fileName(); }

    // Walks the root object for the triangles near the action's path.
    void gatherTriangles(CollisionAction& action, TriangleVector& out) override;
    // The walk that gathers triangles; made by the first gathering.
    DBCollider* collider() const { return collider_.get(); }

    // The collision switches for branches of collision modes 2 and 3.
    void setMode2Collides(bool on) { mode2Collides_ = on; }
    void setMode3Ignored(bool on) { mode3Ignored_ = on; }
    bool mode2Collides() const { return mode2Collides_; }
    bool mode3Ignored() const { return mode3Ignored_; }

    // The hook that batches compiled from the polygons of this database's
    // objects are given (the model library's database keeps one); null for
    // none. Not stored with the database.
    void setBunchCallbacks(const orvel::ref_ptr<BunchCallbacks>& callbacks) { bunchCallbacks_ = callbacks; }
    BunchCallbacks* bunchCallbacks() const { return bunchCallbacks_.get(); }

    // Registers every scene type.
    void registerTypes(orvel::DataSource& source) override;
    // Stream block: 1 objects, 2 root, 3 dirty, 4 path. The database takes
    // over the objects listed (a second list is passed over), dropping any
    // that belongs to another database.
    void read(orvel::DataSource& in) override;
    // Makes the object named under 2 the root, when it is one of the objects.
    void postRead() override;
    const char* typeName() const override { return "zanthorium::kessa::Database"; }
    void write(orvel::DataDest& out) override;

private:
    std::unique_ptr<DBCollider> collider_;
    bool dirty_ = true;
    bool mode2Collides_ = false, mode3Ignored_ = false;
    std::vector<Object*> objects_;
    Object* root_ = nullptr;
    orvel::FilePath path_;
    std::vector<ExrefBranch*> exrefs_;
    int nestingHeight_ = -1;
    orvel::ref_ptr<BunchCallbacks> bunchCallbacks_;
    // The reader's hand-over of a listed object.
    static bool takeObject(void* database, unsigned index, orvel::Streamable* object);

    // The root a stream names, until postRead checks it.
    Object* streamRoot_ = nullptr;
};

}  // namespace kessa
