// Where model and texture files are looked for: a name as given first, then
// in each search folder in order. The folders are the program's folder and
// the working folder until they are set.
#pragma once

#include <vector>

#include "base/orvel_string.h"

namespace modrane {

// The empty folder is the working folder.
void setSearchFolders(const std::vector<orvel_string>& folders);
const std::vector<orvel_string>& searchFolders();

// The path under which a file (not a folder) of that name is found, in the
// program's path form; empty when there is none.
orvel_string findModelFile(const orvel_string& name);

}  // namespace modrane
