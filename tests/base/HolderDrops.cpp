// Compiled, never run, by the test orvel_holder_drops_compile_clean: an
// optimised build without sanitizers, as a release is built, in which two
// holders of one record are dropped in a row. The counts make the first
// drop harmless, and the compiler must not warn of a use after free there.
// The record's destructor is in view, as it is inside the library and in a
// build with link-time optimisation.
#include "base/CountedRecord.cpp"
#include "base/Refcountable.h"
#include "base/handle.h"

namespace holderdrops {

struct Record : orvel::HandleRecord {
    int value = 0;
};

struct Shape {
    virtual ~Shape() = default;
};

struct Node final : orvel::Refcountable {};

void dropHandles(const orvel::handle<Record>& shared) {
    orvel::handle<Record> a(shared);
    orvel::handle<Record> b(shared);
}

void releaseHandles(Record* record) {
    orvel::handle<Record> a(record);
    orvel::handle<Record> b(a);
    b.release();
    a.release();
}

void dropCounted(const orvel::counted_ptr<Shape>& shared) {
    orvel::counted_ptr<Shape> a(shared);
    orvel::counted_ptr<Shape> b(shared);
}

void joinCounted(Shape* object, orvel::CountedRecord* record) {
    orvel::counted_ptr<Shape> a(object, record);
    orvel::counted_ptr<Shape> b(object, record);
}

void dropRefs(Node* node) {
    orvel::ref_ptr<Node> a(node);
    orvel::ref_ptr<Node> b(node);
}

}  // namespace holderdrops
