// A scene as one line of text, for stream and tree cases to compare whole
// instead of node by node. Every object and branch gets a number in walk
// order (#1, #2, ...), and each link names the number it points at: "-" for
// none, "?" for something outside the dump. A branch reads
//   Kind#n"name" o=#owner p=#parent [fields] [children]
// with its dirty flag, user word, collision mode, callback, bounds and the
// fields of its kind (switch, level of detail with its chain, joint,
// instance with the object it shows, external reference).
#pragma once

#include <string>

namespace orvel {
class Streamable;
}
namespace kessa {
class Branch;
class Database;
class Object;
}  // namespace kessa

namespace support {

std::string sceneShape(const kessa::Database* database);
std::string sceneShape(const kessa::Object* object);
std::string sceneShape(const kessa::Branch* branch);
// Whichever of the three the object is; "null" for none, the type's tag for
// anything else.
std::string sceneShape(orvel::Streamable* object);

}  // namespace support
