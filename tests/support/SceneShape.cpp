#include "tests/support/SceneShape.h"

#include <cstdio>
#include <map>

#include "scene/Bounds.h"
#include "scene/Branch.h"
#include "scene/Database.h"
#include "scene/ExrefBranch.h"
#include "scene/GroupBranch.h"
#include "scene/InstanceBranch.h"
#include "scene/JointBranch.h"
#include "scene/LodBranch.h"
#include "scene/Matrix.h"
#include "scene/Object.h"
#include "scene/SwitchBranch.h"

namespace support {

namespace {

using kessa::Branch;
using kessa::Database;
using kessa::Object;

class Dump {
public:
    // Numbers everything first, so that links to later nodes read as numbers.
    void number(const Database* d) {
        ids_[d] = ++count_;
        for (const Object* o : d->objects())
            number(o);
    }
    void number(const Object* o) {
        if (ids_.count(o))
            return;
        ids_[o] = ++count_;
        if (o->root())
            number(o->root());
    }
    void number(const Branch* b) {
        ids_[b] = ++count_;
        if (b->group())
            for (const Branch* c : b->group()->children())
                number(c);
    }

    std::string text(const Database* d) {
        std::string s = "Database" + ref(d) + quoted(d->path().c_str()) + (d->isDirty() ? " dirty" : "") +
                        " root=" + ref(d->rootObject()) + " [";
        for (size_t i = 0; i < d->objects().size(); ++i)
            s += (i ? ", " : "") + text(d->objects()[i]);
        return s + "]";
    }
    std::string text(const Object* o) {
        std::string s = "Object" + ref(o) + quoted(o->name().c_str()) + " db=" + ref(o->database()) +
                        (o->isDirty() ? " dirty" : "") + bounds(o->bounds()) + " shown by [";
        const std::vector<kessa::InstanceBranch*> instances = o->instances();
        for (size_t i = 0; i < instances.size(); ++i)
            s += (i ? " " : "") + ref(instances[i]);
        s += "]";
        return s + (o->root() ? " root: " + text(o->root()) : " no root");
    }
    std::string text(const Branch* b) {
        std::string name = b->typeName();
        const size_t colons = name.rfind("::");
        std::string s = (colons == std::string::npos ? name : name.substr(colons + 2)) + ref(b) +
                        quoted(b->name().c_str()) + " o=" + ref(b->owner()) + " p=" + ref(b->parent());
        if (b->isDirty())
            s += " dirty";
        if (b->userWord())
            s += " word=" + std::to_string(b->userWord());
        if (b->collisionMode())
            s += " collide=" + std::to_string(b->collisionMode());
        if (b->callback())
            s += " callback";
        s += bounds(b->bounds());
        if (auto* w = dynamic_cast<const kessa::SwitchBranch*>(b))
            s += " mode=" + std::to_string(w->mode()) + (w->visitAll() ? " all" : "") + " selected=" +
                 std::to_string(w->selected()) + " value=" + number(w->value());
        if (auto* l = dynamic_cast<const kessa::LodBranch*>(b))
            s += std::string(l->fade() ? " fade" : "") + " range=" + number(l->range()) + " prev=" +
                 ref(l->previous()) + " next=" + ref(l->next());
        if (auto* j = dynamic_cast<const kessa::JointBranch*>(b))
            s += std::string(j->hasJoint() ? " joint" : "") + matrix(" j=", j->joint()) +
                 matrix(" now=", j->current());
        if (auto* i = dynamic_cast<const kessa::InstanceBranch*>(b))
            s += " shows=" + ref(i->instance()) + (i->flag() ? " flag" : "") + matrix(" m=", i->matrix());
        if (auto* e = dynamic_cast<const kessa::ExrefBranch*>(b))
            s += " target=" + quoted(e->targetName().c_str()) + (e->target() ? " loaded" : "");
        if (b->group()) {
            s += " [";
            const auto& children = b->group()->children();
            for (size_t i = 0; i < children.size(); ++i)
                s += (i ? ", " : "") + text(children[i]);
            s += "]";
        }
        return s;
    }

private:
    std::string ref(const void* p) const {
        if (!p)
            return "-";
        auto it = ids_.find(p);
        return it == ids_.end() ? "?" : "#" + std::to_string(it->second);
    }
    static std::string quoted(const char* s) { return std::string("\"") + s + "\""; }
    static std::string number(double v) {
        char b[32];
        std::snprintf(b, sizeof b, "%g", v);
        return b;
    }
    static std::string bounds(const kessa::Bounds& b) {
        if (!b.valid())
            return "";
        return " box=(" + number(b.min().x) + "," + number(b.min().y) + "," + number(b.min().z) + ")-(" +
               number(b.max().x) + "," + number(b.max().y) + "," + number(b.max().z) + ")";
    }
    static std::string matrix(const char* label, const kessa::Matrix& m) {
        if (m.isIdentity())
            return "";
        std::string s = label;
        for (int i = 0; i < 16; ++i)
            s += (i ? "," : "(") + number(m.values()[i]);
        return s + ")";
    }

    std::map<const void*, int> ids_;
    int count_ = 0;
};

}  // namespace

std::string sceneShape(const Database* database) {
    if (!database)
        return "null";
    Dump d;
    d.number(database);
    return d.text(database);
}

std::string sceneShape(const Object* object) {
    if (!object)
        return "null";
    Dump d;
    d.number(object);
    return d.text(object);
}

std::string sceneShape(const Branch* branch) {
    if (!branch)
        return "null";
    Dump d;
    d.number(branch);
    return d.text(branch);
}

std::string sceneShape(orvel::Streamable* object) {
    if (!object)
        return "null";
    if (auto* d = dynamic_cast<Database*>(object))
        return sceneShape(static_cast<const Database*>(d));
    if (auto* o = dynamic_cast<Object*>(object))
        return sceneShape(static_cast<const Object*>(o));
    if (auto* b = dynamic_cast<Branch*>(object))
        return sceneShape(static_cast<const Branch*>(b));
    return object->typeName();
}

}  // namespace support
