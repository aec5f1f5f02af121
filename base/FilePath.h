// The one type in which the program keeps file and folder names. Every path
// is normalised when given: '\\' separators, lower case, no doubled
// separator. Its folder, file-name and extension parts are cached. The folder
// operations go to the file system through the platform's path mapping, so a
// normalised path still finds its file on a case-sensitive file system.
#pragma once

#include <vector>

#include "base/orvel_string.h"

namespace orvel {

class DataDest;
class DataSource;

class FilePath {
public:
    struct StatInfo {
        bool exists = false;
        bool isDirectory = false;
        bool readable = false;
        bool writable = false;
        unsigned long long size = 0;
        long long modified = 0;  // seconds since 1970
        long long accessed = 0;
    };

    FilePath(const char* path = nullptr);
    FilePath(const orvel_string& path);

    const orvel_string& str() const { return path_; }
    const char* c_str() const { return path_.c_str(); }
    bool operator==(const FilePath& other) const { return path_ == other.path_; }
    bool operator!=(const FilePath& other) const { return path_ != other.path_; }
    bool operator<(const FilePath& other) const { return path_ < other.path_; }

    static char separator() { return '\\'; }

    // Up to and including the last separator; empty without one.
    const orvel_string& directory() const;
    // After the last separator; the whole path without one.
    const orvel_string& fileName() const;
    // From the last '.' on, when it comes after the last separator.
    const orvel_string& extension() const;

    // folder (a separator added when it has none at its end) + file name.
    void setDirectory(const orvel_string& folder);
    void setFileName(const orvel_string& name);
    // Replaces the extension (ext carries its own '.'); a path without one is
    // left as it is.
    void setExtension(const orvel_string& ext);
    // folder + name + separator + file name.
    void addSubfolder(const orvel_string& name);
    // When the path starts with oldPrefix (normalised), that start becomes newPrefix.
    void replacePrefix(const orvel_string& oldPrefix, const orvel_string& newPrefix);

    StatInfo stat() const;
    // Whether the folder part names a folder; a drive alone ("x:") counts.
    bool directoryExists() const;
    // Creates every missing folder of the folder part, outermost first.
    bool makeDirectories() const;
    // The entries of the folder this path names that match pattern ('*' and
    // '?'), without those whose name begins with '.', sorted byte-wise. Names
    // come back as stored.
    std::vector<orvel_string> list(const char* pattern) const;
    // A file (or a symbolic link, never followed) is deleted; a folder is
    // removed, with everything it lists first when recursive.
    bool removeTree(bool recursive) const;

private:
    void assign(const char* text, unsigned length);

    orvel_string path_;
    mutable bool haveDirectory_ = false;
    mutable bool haveFileName_ = false;
    mutable bool haveExtension_ = false;
    mutable orvel_string directory_;
    mutable orvel_string fileName_;
    mutable orvel_string extension_;
};

// The path as a string in the sink's string mode; reading normalises it. A
// text the data ends in, or one still arriving, leaves the path as it was.
DataDest& operator<<(DataDest& dest, const FilePath& path);
DataSource& operator>>(DataSource& source, FilePath& path);

// The running executable's path, normalised (empty when the system cannot
// tell, or when it is longer than 999 characters); read once.
const FilePath& programPath();
// Its folder, with the final separator.
const orvel_string& programFolder();

}  // namespace orvel
