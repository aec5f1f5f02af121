#include "media/readers/ModraneDatabaseReader.h"

#include "base/Debug.h"
#include "base/FileDataSource.h"
#include "base/FilePath.h"
#include "base/StreamReader.h"
#include "media/ModelSearchPaths.h"
#include "scene/Database.h"
#include "scene/SceneStream.h"

namespace modrane {

void ModraneDatabaseReader::read(orvel::counted_ptr<kessa::Database>& out, const orvel_string& name) {
    out = nullptr;
    // Names come from streams: the log line must stay within the log's limit.
    const orvel::FilePath path(findModelFile(name));
    if (path.str().empty()) {
        orvel::debug("---Exref: %.2000s not found\n", name.c_str());
        return;
    }
    if (path.extension() != ".mdl") {
        orvel::debug("---Exref: %.2000s: no reader for this kind of model\n", path.c_str());
        return;
    }
    orvel::FileDataSource source(path);
    kessa::registerTypes(source);
    out = StreamReader::read(source).cast<kessa::Database>();
    if (!out) {
        orvel::debug("---Exref: %.2000s could not be read\n", path.c_str());
        return;
    }
    out->setPath(path);
}

}  // namespace modrane
