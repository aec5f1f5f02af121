// The model library's reader of the databases that object streams name as
// external references: finds the model file on the model search paths and
// reads it by its extension.
#pragma once

#include "scene/KessaDatabaseReader.h"

namespace modrane {

class ModraneDatabaseReader : public kessa::KessaDatabaseReader {
public:
    // Reads the database of an object-stream model file (.mdl). When no file
    // of that name is found, "---Exref: <name> not found" is logged; a file
    // that cannot be read is logged too. out is null in both cases.
    void read(orvel::counted_ptr<kessa::Database>& out, const orvel_string& name) override;
};

}  // namespace modrane
