#include "Library.h"

#include "base/orvel_string.h"
#include "platform/DynamicLibrary.h"

namespace orvel {

Library::Library(const char* name) : library_(new platform::DynamicLibrary(name)) {}

Library::~Library() = default;

bool Library::isLoaded() const { return library_->isLoaded(); }

void* Library::symbol(const char* name) const {
    if (!name || !library_->isLoaded())
        return nullptr;
    if (void* found = library_->symbol(name))
        return found;
    return library_->symbol((orvel_string(name) + 'A').c_str());
}

}  // namespace orvel
