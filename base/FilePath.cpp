#include "FilePath.h"

#include <algorithm>

#include "base/Clock.h"
#include "base/DataDest.h"
#include "base/DataSource.h"
#include "base/Debug.h"
#include "platform/FileSystem.h"
#include "platform/System.h"

namespace orvel {

namespace {

constexpr char sep = '\\';
constexpr unsigned maxProgramPath = 999;

bool isSeparator(char c) { return c == '\\' || c == '/'; }

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Separators become '\\' and letters lower case. Then, from the third
// character on, a separator that follows a separator is removed; the
// character after a removal is not looked at, so a run of three keeps two,
// and the first two characters are never merged (a leading "\\\\" stays).
// Each removal is logged and pauses the caller for 3 seconds: a doubled
// separator is taken as a sign of a badly built path.
orvel_string normalised(const char* text, unsigned length) {
    orvel_string s(text, length);
    for (char& c : s)
        c = c == '/' ? sep : lowerAscii(c);
    bool paused = false;
    for (unsigned i = 2; i < s.length(); ++i) {
        if (s[i] == sep && s[i - 1] == sep) {
            s.erase(i, 1);
            debug("Erasing at %d\n", int(i));
            // One pause per path, however many separators it loses: a path
            // from a hostile file must not stall the thread for hours.
            if (!paused)
                sleepMs(3000);
            paused = true;
        }
    }
    return s;
}

// a + b, joined without doubling a separator where they meet.
orvel_string joined(const orvel_string& a, const orvel_string& b) {
    if (!a.empty() && !b.empty() && isSeparator(a[a.length() - 1]) && isSeparator(b[0]))
        return a + b.substr(1);
    return a + b;
}

FilePath::StatInfo infoFrom(const platform::FileStatus& s) {
    FilePath::StatInfo info;
    info.exists = s.exists;
    info.isDirectory = s.isDirectory;
    info.readable = s.readable;
    info.writable = s.writable;
    info.size = s.size;
    info.modified = s.modified;
    info.accessed = s.accessed;
    return info;
}

// The names a listing shows: none that begins with '.' (so neither "." nor
// ".."), sorted byte by byte.
std::vector<std::string> shown(std::vector<std::string> names) {
    names.erase(std::remove_if(names.begin(), names.end(), [](const std::string& n) { return n[0] == '.'; }),
                names.end());
    std::sort(names.begin(), names.end());
    return names;
}

// Removes what the open folder lists, a folder among it with its entries
// first. Each entry is taken by the name listed, not read again as a path:
// there a '\\' would be a separator, and a name such as "x\\..\\..\\f"
// would reach outside the tree.
bool removeEntries(const platform::Folder& folder) {
    for (const std::string& name : shown(folder.list("*"))) {
        if (folder.status(name).isDirectory && !removeEntries(platform::Folder(folder, name)))
            return false;
        if (!folder.remove(name))
            return false;
    }
    return true;
}

}  // namespace

FilePath::FilePath(const char* path) {
    if (path)
        assign(path, unsigned(std::strlen(path)));
}

FilePath::FilePath(const orvel_string& path) { assign(path.c_str(), path.length()); }

void FilePath::assign(const char* text, unsigned length) {
    path_ = normalised(text, length);
    haveDirectory_ = haveFileName_ = haveExtension_ = false;
}

const orvel_string& FilePath::directory() const {
    if (!haveDirectory_) {
        unsigned last = path_.find_last_of(sep);
        directory_ = last == orvel_string::npos ? orvel_string() : path_.substr(0, last + 1);
        haveDirectory_ = true;
    }
    return directory_;
}

const orvel_string& FilePath::fileName() const {
    if (!haveFileName_) {
        unsigned last = path_.find_last_of(sep);
        fileName_ = last == orvel_string::npos ? path_ : path_.substr(last + 1);
        haveFileName_ = true;
    }
    return fileName_;
}

const orvel_string& FilePath::extension() const {
    if (!haveExtension_) {
        unsigned dot = path_.find_last_of('.');
        unsigned last = path_.find_last_of(sep);
        bool found = dot != orvel_string::npos && (last == orvel_string::npos || dot > last);
        extension_ = found ? path_.substr(dot) : orvel_string();
        haveExtension_ = true;
    }
    return extension_;
}

void FilePath::setDirectory(const orvel_string& folder) {
    orvel_string text = folder;
    if (!text.empty() && !isSeparator(text[text.length() - 1]))
        text.push_back(sep);
    text = joined(text, fileName());
    assign(text.c_str(), text.length());
}

void FilePath::setFileName(const orvel_string& name) {
    orvel_string text = joined(directory(), name);
    assign(text.c_str(), text.length());
}

void FilePath::setExtension(const orvel_string& ext) {
    if (extension().empty())
        return;
    orvel_string text = path_.substr(0, path_.length() - extension().length()) + ext;
    assign(text.c_str(), text.length());
}

void FilePath::addSubfolder(const orvel_string& name) {
    orvel_string text = joined(directory(), name);
    if (!name.empty() && !isSeparator(name[name.length() - 1]))
        text.push_back(sep);
    text = joined(text, fileName());
    assign(text.c_str(), text.length());
}

void FilePath::replacePrefix(const orvel_string& oldPrefix, const orvel_string& newPrefix) {
    orvel_string start = normalised(oldPrefix.c_str(), oldPrefix.length());
    if (start.empty() || path_.compareRange(0, start.length(), start) != 0)
        return;
    orvel_string text = joined(newPrefix, path_.substr(start.length()));
    assign(text.c_str(), text.length());
}

FilePath::StatInfo FilePath::stat() const { return infoFrom(platform::fileStatus(c_str())); }

bool FilePath::directoryExists() const {
    const orvel_string& folder = directory();
    if (folder.empty())
        return false;
    // Without its final separator, except the root folder itself.
    orvel_string bare = folder.length() > 1 ? folder.substr(0, folder.length() - 1) : folder;
    if (bare.length() == 2 && bare[1] == ':' && bare[0] >= 'a' && bare[0] <= 'z')
        return true;
    platform::FileStatus s = platform::fileStatus(bare.c_str());
    return s.exists && s.isDirectory;
}

bool FilePath::makeDirectories() const {
    if (directoryExists())
        return true;
    const orvel_string& folder = directory();
    for (unsigned i = 0; i < folder.length(); ++i) {
        if (folder[i] != sep)
            continue;
        orvel_string prefix = folder.substr(0, i + 1);
        if (!platform::fileStatus(prefix.c_str()).exists && !platform::makeDirectory(prefix.c_str()))
            return false;
    }
    return true;
}

std::vector<orvel_string> FilePath::list(const char* pattern) const {
    orvel_string folder = path_;
    if (folder.length() > 1 && folder[folder.length() - 1] == sep)
        folder.resize(folder.length() - 1);
    std::vector<orvel_string> names;
    for (const std::string& name : shown(platform::listDirectory(folder.c_str(), pattern)))
        names.emplace_back(name.c_str(), unsigned(name.size()));
    return names;
}

bool FilePath::removeTree(bool recursive) const {
    // The link's own status: a link to a folder is removed as a link, and
    // nothing it points to is touched. A final separator would make the
    // system look through the link, so it is left off.
    orvel_string self = path_;
    if (self.length() > 1 && self[self.length() - 1] == sep)
        self.resize(self.length() - 1);
    platform::FileStatus s = platform::linkStatus(self.c_str());
    if (!s.isDirectory)
        return platform::removeFile(self.c_str());
    if (recursive && !removeEntries(platform::Folder(self.c_str())))
        return false;
    return platform::removeDirectory(self.c_str());
}

DataDest& operator<<(DataDest& dest, const FilePath& path) { return dest << path.str(); }

DataSource& operator>>(DataSource& source, FilePath& path) {
    orvel_string text;
    source >> text;
    if (!source.fail() && !source.waiting())
        path = FilePath(text);
    return source;
}

namespace {

struct ProgramPaths {
    FilePath path;
    orvel_string folder;

    ProgramPaths() {
        std::string exe = platform::executablePath();
        if (exe.size() <= maxProgramPath)
            path = FilePath(exe.c_str());
        folder = path.directory();
    }
};

const ProgramPaths& programPaths() {
    static const ProgramPaths paths;
    return paths;
}

}  // namespace

const FilePath& programPath() { return programPaths().path; }

const orvel_string& programFolder() { return programPaths().folder; }

}  // namespace orvel
