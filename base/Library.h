// A library loaded by name, and the functions found in it.
#pragma once

#include <memory>

namespace platform {
class DynamicLibrary;
}

namespace orvel {

class Library {
public:
    // Windows library names resolve to the program's own stand-ins or to
    // nothing (platform/DynamicLibrary.h); others are loaded from disk.
    explicit Library(const char* name);
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    bool isLoaded() const;
    // The function of that name, else the one with "A" appended (the text
    // variant of a function that has two); null when neither is there or
    // the library did not load.
    void* symbol(const char* name) const;

private:
    std::unique_ptr<platform::DynamicLibrary> library_;
};

}  // namespace orvel
