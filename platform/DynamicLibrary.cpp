#include "DynamicLibrary.h"

#include <cctype>
#include <dlfcn.h>
#include <map>
#include <mutex>
#include <string>

#include "platform/Shell.h"

namespace platform {

struct BuiltinLibrary {
    std::map<std::string, void*> symbols;
};

namespace {

// Windows looks for "name.dll" when a name has no extension.
std::string windowsName(const char* name) {
    std::string n;
    for (const char* p = name; *p; ++p)
        n += char(std::tolower(static_cast<unsigned char>(*p)));
    if (n.find('.') == std::string::npos)
        n += ".dll";
    return n;
}

bool isWindowsName(const std::string& n) {
    return n.size() > 4 && n.compare(n.size() - 4, 4, ".dll") == 0 && n.find('/') == std::string::npos;
}

struct Builtins {
    std::mutex lock;
    // Entries are never removed, so a library's table outlives its users.
    std::map<std::string, BuiltinLibrary> libraries;

    Builtins() {
        libraries["shell32.dll"].symbols["ShellExecuteExA"] = reinterpret_cast<void*>(&shellExecute);
    }
};

Builtins& builtins() {
    static Builtins* table = new Builtins;
    return *table;
}

}  // namespace

DynamicLibrary::DynamicLibrary(const char* name) {
    if (!name || !*name)
        return;
    std::string n = windowsName(name);
    {
        Builtins& b = builtins();
        std::lock_guard<std::mutex> guard(b.lock);
        auto found = b.libraries.find(n);
        if (found != b.libraries.end()) {
            builtin_ = &found->second;
            return;
        }
    }
    if (isWindowsName(n))
        return;
    handle_ = dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

DynamicLibrary::~DynamicLibrary() {
    if (handle_)
        dlclose(handle_);
}

void* DynamicLibrary::symbol(const char* name) const {
    if (!name)
        return nullptr;
    if (builtin_) {
        Builtins& b = builtins();
        std::lock_guard<std::mutex> guard(b.lock);
        auto found = builtin_->symbols.find(name);
        return found == builtin_->symbols.end() ? nullptr : found->second;
    }
    return handle_ ? dlsym(handle_, name) : nullptr;
}

void addBuiltinSymbol(const char* library, const char* symbol, void* address) {
    Builtins& b = builtins();
    std::lock_guard<std::mutex> guard(b.lock);
    b.libraries[windowsName(library)].symbols[symbol] = address;
}

}  // namespace platform

