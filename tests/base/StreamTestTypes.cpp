#include "StreamTestTypes.h"

#include <random>
#include <string>

#include "base/StreamReader.h"

namespace streamtest {

using orvel::counted_ptr;

std::set<orvel::Streamable*>& live() {
    static std::set<orvel::Streamable*> objects;
    return objects;
}

std::vector<int>& postReads() {
    static std::vector<int> order;
    return order;
}

std::map<const orvel::Streamable*, Owner*>& owners() {
    static std::map<const orvel::Streamable*, Owner*> table;
    return table;
}

void Node::read(orvel::DataSource& source) {
    source >> value;
    source.readStreamable(link);
}

void Node::write(orvel::DataDest& dest) {
    dest << value;
    dest.writeStreamable(link);
}

void CountedNode::read(orvel::DataSource& source) {
    source.noteCountedPtr();
    Node::read(source);
}

void MultiNode::read(orvel::DataSource& source) {
    for (;;) {
        unsigned tag = source.readCompact();
        if (tag == 0 || !source.good())
            return;
        switch (tag) {
        case 1: source >> payload; break;
        case 2: source.readStreamable(next); break;
        case 3: source.readStreamable(back); break;
        default: break;
        }
    }
}

void MultiNode::write(orvel::DataDest& dest) {
    dest.writeCompact(1) << payload;
    dest.writeCompact(2).writeStreamable(next);
    dest.writeCompact(3).writeStreamable(back);
    dest.writeCompact(0);
}

void Graph::read(orvel::DataSource& source) {
    for (;;) {
        unsigned tag = source.readCompact();
        if (tag == 0 || !source.good())
            return;
        switch (tag) {
        case 1: source >> value; break;
        case 2: source >> name; break;
        case 3: source >> weight; break;
        case 4: source.readStreamable(link); break;
        case 5: source.readStreamable(shared); break;
        case 6: source >> list; break;
        case 7: source.readStreamable(extra); break;
        case 8: source.readStreamable(multi); break;
        default: break;
        }
    }
}

void Graph::write(orvel::DataDest& dest) {
    dest.writeCompact(1) << value;
    if (!name.empty())
        dest.writeCompact(2) << name;
    if (weight != 0)
        dest.writeCompact(3) << weight;
    dest.writeCompact(4).writeStreamable(link);
    dest.writeCompact(5).writeStreamable(shared);
    if (!list.empty())
        dest.writeCompact(6) << list;
    dest.writeCompact(7).writeStreamable(extra);
    dest.writeCompact(8).writeStreamable(multi);
    dest.writeCompact(0);
}

Owner::~Owner() {
    std::vector<orvel::Streamable*> doomed;
    doomed.swap(owned);
    for (orvel::Streamable* o : doomed) {
        owners().erase(o);
        delete o;
    }
}

void Owner::read(orvel::DataSource& source) {
    const std::vector<unsigned>& ids = source.readReferenceIds();
    for (size_t i = 0; i < ids.size(); ++i)
        if (ids[i] != 0)
            source.addReference(ids[i], this, &take, orvel::DataSource::Hold::own, unsigned(i));
}

void Owner::forget() {
    for (orvel::Streamable* o : owned)
        owners().erase(o);
    owned.clear();
}

bool Owner::take(void* owner, unsigned, orvel::Streamable* object) {
    auto* self = static_cast<Owner*>(owner);
    if (!dynamic_cast<Graph*>(object) && !dynamic_cast<Owner*>(object))
        return false;
    if (owners().count(object))
        return false;
    for (const orvel::Streamable* up = self; up;) {
        if (up == object)
            return false;
        auto found = owners().find(up);
        up = found == owners().end() ? nullptr : found->second;
    }
    owners()[object] = self;
    self->owned.push_back(object);
    return true;
}

void Faulty::read(orvel::DataSource& source) {
    Node::read(source);
    if (value == throwLogicInRead)
        throw std::logic_error("broken body");
    if (value == throwOtherInRead)
        throw 7;
}

void Faulty::postRead() {
    Node::postRead();
    if (value == throwInPostRead)
        throw std::logic_error("broken link");
}

template <class... Types>
void addFactories(orvel::DataSource& source) {
    (StreamReader::addFactory(source, [] { return static_cast<orvel::Streamable*>(new Types); }), ...);
}

void registerTypes(orvel::DataSource& source) {
    addFactories<Node, CountedNode, Holder, Loose, MultiNode, Graph, Faulty, Owner>(source);
}

Graph* randomGraph(unsigned n, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<Graph*> nodes;
    for (unsigned i = 0; i < n; ++i) {
        nodes.push_back(new Graph);
        nodes.back()->value = int(i);
    }
    auto any = [&] { return nodes[random() % n]; };
    std::vector<counted_ptr<Graph>> handles;
    for (unsigned i = 0; i < n / 4 + 1; ++i)
        handles.push_back(counted_ptr<Graph>(new Graph));
    std::vector<counted_ptr<Extra>> extras;
    for (unsigned i = 0; i < n / 8 + 1; ++i) {
        MultiNode* m = new MultiNode;
        m->payload = int(1000 + i);
        m->back = any();
        if (i % 2 == 0)
            m->next = handles[random() % handles.size()];
        extras.push_back(counted_ptr<Extra>(m));
    }
    for (Graph* g : nodes) {
        if (random() % 3 == 0)
            g->name = ("node " + std::to_string(g->value)).c_str();
        g->weight = random() % 2 ? 0.25 * g->value : 0;
        if (random() % 4 != 0)
            g->link = any();
        if (random() % 2 == 0)
            g->shared = handles[random() % handles.size()];
        for (unsigned k = random() % 4; k > 0; --k)
            g->list.push_back(random() % 5 == 0 ? nullptr : any());
        if (random() % 3 == 0) {
            g->extra = extras[random() % extras.size()];
            g->multi = dynamic_cast<MultiNode*>(g->extra.get());
        }
    }
    for (auto& h : handles)
        h->value = -1;
    // The root lists everyone, so that all are reachable.
    Graph* root = nodes[0];
    root->list.insert(root->list.end(), nodes.begin(), nodes.end());
    return root;
}

Owner* ownerTree() {
    auto* root = new Owner;
    auto* middle = new Owner;
    auto* inner = new Owner;
    std::vector<Graph*> g;
    for (int i = 0; i < 5; ++i) {
        g.push_back(new Graph);
        g.back()->value = 100 + i;
    }
    root->owned = {middle, g[0], g[1]};
    middle->owned = {g[2], inner};
    inner->owned = {g[3], g[4]};
    g[0]->shared = counted_ptr<Graph>(new Graph);
    g[0]->shared->value = -1;
    g[0]->shared->link = g[1];
    g[3]->shared = g[0]->shared;
    g[4]->shared = counted_ptr<Graph>(new Graph);
    g[4]->shared->value = -2;
    g[1]->link = g[4];
    g[2]->list = {g[0], g[3]};
    return root;
}

namespace {

class Shape {
public:
    std::string of(const orvel::Streamable* root) {
        name(root);
        for (size_t next = 0; next < order_.size(); ++next)
            out_ += (next ? ", " : "") + describe(order_[next]);
        return out_;
    }

private:
    std::string name(const orvel::Streamable* object) {
        if (!object)
            return "-";
        if (auto* record = dynamic_cast<const orvel::CountedRecord*>(object)) {
            auto found = records_.emplace(record, records_.size() + 1).first;
            return "r" + std::to_string(found->second) + "/" + std::to_string(record->count) + name(record->pointee());
        }
        auto found = ids_.emplace(object, ids_.size() + 1);
        if (found.second)
            order_.push_back(object);
        return "@" + std::to_string(found.first->second);
    }
    template <class T>
    std::string name(const T* object) {
        return name(static_cast<const orvel::Streamable*>(object));
    }

    // One name per statement: the numbers follow the order written.
    std::string describe(const orvel::Streamable* o) {
        std::string s;
        if (auto* n = dynamic_cast<const Node*>(o)) {
            s = (dynamic_cast<const Faulty*>(o) ? "F" : dynamic_cast<const CountedNode*>(o) ? "C" : "N") +
                std::to_string(n->value);
            if (n->link)
                s += ">" + name(n->link);
        } else if (auto* h = dynamic_cast<const Holder*>(o)) {
            s = "H" + std::to_string(h->seen) + "{" + name(h->node.record()) + "}";
        } else if (auto* l = dynamic_cast<const Loose*>(o)) {
            s = "L{" + name(l->ref) + "}";
        } else if (auto* m = dynamic_cast<const MultiNode*>(o)) {
            s = "M" + std::to_string(m->payload) + "{" + name(m->next.record());
            s += " " + name(m->back) + "}";
        } else if (auto* owner = dynamic_cast<const Owner*>(o)) {
            s = "O[";
            for (const orvel::Streamable* x : owner->owned)
                s += (s.size() > 2 ? " " : "") + name(x);
            s += "]";
        } else {
            auto* g = dynamic_cast<const Graph*>(o);
            std::string fields;
            if (!g->name.empty())
                fields += " '" + std::string(g->name.c_str()) + "'";
            if (g->weight != 0)
                fields += " w" + std::to_string(g->weight);
            if (g->link)
                fields += " >" + name(g->link);
            if (g->shared.record())
                fields += " s:" + name(g->shared.record());
            if (g->extra.record())
                fields += " x:" + name(g->extra.record()) + "=" + std::to_string(g->extra ? g->extra->payload : -1);
            if (g->multi)
                fields += " m:" + name(g->multi);
            for (size_t i = 0; i < g->list.size(); ++i)
                fields += (i ? " " : " [") + name(g->list[i]) + (i + 1 < g->list.size() ? "" : "]");
            s = "G" + std::to_string(g->value) + (fields.empty() ? "" : "{" + fields.substr(1) + "}");
        }
        return s;
    }

    std::map<const orvel::Streamable*, size_t> ids_;
    std::map<const orvel::CountedRecord*, size_t> records_;
    std::vector<const orvel::Streamable*> order_;
    std::string out_;
};

// The holders leave the object before any is released: a release may
// delete the object itself.
void releaseHolders(orvel::Streamable* object) {
    if (auto* h = dynamic_cast<Holder*>(object)) {
        counted_ptr<Node> node = std::move(h->node);
    } else if (auto* m = dynamic_cast<MultiNode*>(object)) {
        counted_ptr<Graph> next = std::move(m->next);
    } else if (auto* g = dynamic_cast<Graph*>(object)) {
        counted_ptr<Graph> shared = std::move(g->shared);
        counted_ptr<Extra> extra = std::move(g->extra);
    } else if (auto* owner = dynamic_cast<Owner*>(object)) {
        owner->forget();
    }
}

}  // namespace

std::string shape(const orvel::Streamable* root) { return Shape().of(root); }

void destroyAll() {
    // Releasing a holder may delete other objects, whose own holders go
    // with them; what is still alive afterwards is held by nothing.
    std::vector<orvel::Streamable*> objects(live().begin(), live().end());
    for (orvel::Streamable* o : objects) {
        if (live().count(o))
            releaseHolders(o);
    }
    objects.assign(live().begin(), live().end());
    for (orvel::Streamable* o : objects)
        delete o;
}

}  // namespace streamtest
