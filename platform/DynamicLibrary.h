// Libraries loaded by name at run time. Names of Windows system libraries
// ("shell32.dll", compared without case; ".dll" may be left off) stand for
// the program's own built-in stand-ins: "shell32.dll" holds the shell's
// execute function (Shell.h), and other parts of the program add theirs with
// addBuiltinSymbol. A Windows name without a stand-in is not found. Any
// other name is loaded with dlopen.
#pragma once

namespace platform {

struct BuiltinLibrary;

class DynamicLibrary {
public:
    explicit DynamicLibrary(const char* name);
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    bool isLoaded() const { return handle_ || builtin_; }
    // The address of an exported name, exactly as given; null when missing.
    void* symbol(const char* name) const;

private:
    void* handle_ = nullptr;
    const BuiltinLibrary* builtin_ = nullptr;
};

// Makes symbol of the built-in library named library resolve to address,
// and makes that library exist.
void addBuiltinSymbol(const char* library, const char* symbol, void* address);

}  // namespace platform
