#include "scene/KessaDatabaseReader.h"

#include <map>
#include <vector>

#include "base/DataSource.h"
#include "base/Debug.h"
#include "scene/Database.h"
#include "scene/StreamNesting.h"

namespace kessa {

namespace {

KessaDatabaseReader* hook = nullptr;
// Names being read right now, outermost first.
std::vector<orvel_string> reading;

// What each name gave while streams that name databases are read, and how
// many such streams are being read (one inside another); the outermost
// lets them go when its read ends.
std::map<orvel_string, orvel::counted_ptr<Database>> shared;
unsigned sharingReads = 0;

// Lives as long as the read of one such stream.
class SharedReads : public orvel::ReadFinisher {
public:
    SharedReads() { ++sharingReads; }
    ~SharedReads() override {
        if (--sharingReads == 0) {
            // Freed only once the map no longer lists them.
            const std::map<orvel_string, orvel::counted_ptr<Database>> doomed = std::move(shared);
            shared.clear();
        }
    }
    void finish() override {}
};

orvel::ReadFinisher* makeSharedReads() { return new SharedReads; }

// Names are read from streams: lines print at most 2,000 of their characters.
bool mayRead(const orvel_string& name) {
    if (!hook) {
        orvel::debug("No database reader to read %.2000s\n", name.c_str());
        return false;
    }
    for (const orvel_string& open : reading)
        if (open == name) {
            orvel::debug("Database %.2000s refers back to itself - not read again\n", name.c_str());
            return false;
        }
    if (reading.size() >= std::size_t(StreamNesting::maxFiles)) {
        orvel::debug("!!!Database %.2000s would nest more than %d files deep - not read\n", name.c_str(),
                     StreamNesting::maxFiles);
        return false;
    }
    return true;
}

void readNow(orvel::counted_ptr<Database>& out, const orvel_string& name) {
    reading.push_back(name);
    struct Pop {
        ~Pop() { reading.pop_back(); }
    } pop;
    hook->read(out, name);
}

}  // namespace

void setReadHook(KessaDatabaseReader* reader) { hook = reader; }

KessaDatabaseReader* readHook() { return hook; }

void readExternalDatabase(orvel::counted_ptr<Database>& out, const orvel_string& name) {
    out = nullptr;
    if (mayRead(name))
        readNow(out, name);
}

void readExternalDatabase(orvel::DataSource& in, orvel::counted_ptr<Database>& out, const orvel_string& name) {
    out = nullptr;
    const bool sharing = in.finisher(&makeSharedReads) != nullptr;
    if (sharing) {
        auto found = shared.find(name);
        if (found != shared.end()) {
            out = found->second;
            return;
        }
    }
    if (!mayRead(name))
        return;
    readNow(out, name);
    if (sharing)
        shared.emplace(name, out);
}

}  // namespace kessa
