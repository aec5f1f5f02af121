#include "scene/KessaDatabaseReader.h"

#include <vector>

#include "base/Debug.h"

namespace kessa {

namespace {

KessaDatabaseReader* hook = nullptr;
// Names being read right now, outermost first.
std::vector<orvel_string> reading;

}  // namespace

void setReadHook(KessaDatabaseReader* reader) { hook = reader; }

KessaDatabaseReader* readHook() { return hook; }

// Names come from streams: lines print at most 2,000 of their characters.
void readExternalDatabase(orvel::counted_ptr<Database>& out, const orvel_string& name) {
    out = nullptr;
    if (!hook) {
        orvel::debug("No database reader to read %.2000s\n", name.c_str());
        return;
    }
    for (const orvel_string& open : reading)
        if (open == name) {
            orvel::debug("Database %.2000s refers back to itself - not read again\n", name.c_str());
            return;
        }
    reading.push_back(name);
    struct Pop {
        ~Pop() { reading.pop_back(); }
    } pop;
    hook->read(out, name);
}

}  // namespace kessa
