// How object streams reach the databases they name by file: through one
// process-wide reader that the model library installs. The scene library never
// installs one itself.
#pragma once

#include "base/counted_ptr.h"
#include "base/orvel_string.h"

namespace orvel {
class DataSource;
}

namespace kessa {

class Database;

class KessaDatabaseReader {
public:
    virtual ~KessaDatabaseReader() = default;
    // Loads the database named name into out; out stays null when it cannot.
    virtual void read(orvel::counted_ptr<Database>& out, const orvel_string& name) = 0;
};

// Installs the process-wide reader (null removes it); the caller keeps
// ownership.
void setReadHook(KessaDatabaseReader* reader);
KessaDatabaseReader* readHook();

// Reads the database named name through the installed reader. Without a
// reader, when name is already being read further up the call chain (a
// file that names itself, directly or through others), or when
// StreamNesting::maxFiles files are being read one inside another already,
// out is left null and a line is logged instead of recursing without end.
void readExternalDatabase(orvel::counted_ptr<Database>& out, const orvel_string& name);

// The same for a name the stream in names. While in is read, with the
// streams of the files it reaches, a name read once gives the database it
// gave again (or nothing again): a file named any number of times is read
// once, and reading stays in proportion to the files.
void readExternalDatabase(orvel::DataSource& in, orvel::counted_ptr<Database>& out, const orvel_string& name);

}  // namespace kessa
