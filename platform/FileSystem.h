// Files and folders under the program's own path form. The program writes
// paths with '\\' separators and in lower case; Linux file systems use '/'
// and are case-sensitive. Every call here maps a path first: separators
// become '/', and when the path does not exist as given, each component is
// matched case-insensitively against the entries of its folder. A component
// that matches nothing keeps its text, so new files and folders get the name
// they were given. The program's own folder, in any spelling, is the folder
// the program is in, even beside a folder whose name differs only in case.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// The native form of a program path.
std::string nativePath(const char* path);

struct FileStatus {
    bool exists = false;
    bool isDirectory = false;
    bool isLink = false;
    bool readable = false;
    bool writable = false;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // seconds since 1970
    std::int64_t accessed = 0;
};

// The entry of a native folder whose name equals name but for case: the
// byte-wise first of several, so that every spelling of the name finds the
// same one. Name itself when none does.
std::string foldedEntry(const std::string& folder, const std::string& name);

// What the path names, following symbolic links.
FileStatus fileStatus(const char* path);
// What the path names, a symbolic link itself rather than its target.
FileStatus linkStatus(const char* path);

// The C library's fopen on the mapped path; null on failure.
FILE* openFile(const char* path, const char* mode);

bool makeDirectory(const char* path);
bool removeDirectory(const char* path);
// Removes a file or a symbolic link (never what the link points to).
bool removeFile(const char* path);

// The entries of a folder whose names match a pattern of '*' and '?',
// compared without regard to case; "*.*" matches every name. Names come back
// as stored, unsorted, without "." and "..". A missing folder gives none.
std::vector<std::string> listDirectory(const char* folder, const char* pattern);

// A folder held open, whose entries are reached by the names it lists. Such a
// name is never mapped or split again: on Linux a '\\' is a byte of a name
// like any other, and two names may differ only in case. An entry is opened
// as a folder only when it is one itself, never through a symbolic link, so
// that a walk down from here stays inside this folder.
class Folder {
public:
    // A folder by its program path ("" is the working folder).
    explicit Folder(const char* path);
    // The entry of parent called name, when that is a folder.
    Folder(const Folder& parent, const std::string& name);
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // As listDirectory.
    std::vector<std::string> list(const char* pattern) const;
    // What the entry is: a symbolic link itself rather than its target.
    FileStatus status(const std::string& name) const;
    // Removes the entry: a file or symbolic link, or an empty folder.
    bool remove(const std::string& name) const;

private:
    int fd_ = -1;
};

}  // namespace platform
