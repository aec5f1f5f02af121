#include "FileSystem.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/System.h"

namespace platform {

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// a and b are the same but for case, in their first n characters.
bool equalFolded(const char* a, const char* b, std::size_t n = std::string::npos) {
    for (; n > 0; ++a, ++b, --n) {
        if (lowerAscii(*a) != lowerAscii(*b))
            return false;
        if (!*a)
            break;
    }
    return true;
}

// The program's own folder as it is on disk, with its final '/'.
const std::string& programFolder() {
    static const std::string folder = [] {
        std::string exe = executablePath();
        std::size_t slash = exe.rfind('/');
        return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
    }();
    return folder;
}

// The program folder is the one path whose case is known: the program's own
// spelling of it (lower case) is put back as it is on disk, so that a folder
// beside it whose name differs only in case is never taken for it.
void intoProgramFolder(std::string& path) {
    const std::string& folder = programFolder();
    if (folder.size() < 2)
        return;
    std::size_t n = folder.size() - 1;  // without its final '/'
    if ((path.size() == n || (path.size() > n && path[n] == '/')) && equalFolded(path.c_str(), folder.c_str(), n))
        path.replace(0, n, folder, 0, n);
}

bool present(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The entry of a folder ("" is the current one) whose name equals name but for
// case. Of several, the byte-wise first, so that the choice is stable.
bool findFolded(const std::string& folder, const std::string& name, std::string& found) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return false;
    bool any = false;
    while (const dirent* e = readdir(dir)) {
        if (equalFolded(e->d_name, name.c_str()) && (!any || std::strcmp(e->d_name, found.c_str()) < 0)) {
            found = e->d_name;
            any = true;
        }
    }
    closedir(dir);
    return any;
}

// '*' is any run of characters, '?' any one; everything else stands for
// itself, compared without case.
bool matches(const char* pattern, const char* name) {
    const char* starPattern = nullptr;
    const char* starName = nullptr;
    while (*name) {
        if (*pattern == '*') {
            starPattern = ++pattern;
            starName = name;
        } else if (*pattern && (*pattern == '?' || lowerAscii(*pattern) == lowerAscii(*name))) {
            ++pattern;
            ++name;
        } else if (starPattern) {
            pattern = starPattern;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern == 0;
}

// The status of name in the folder dir (AT_FDCWD for a path).
FileStatus statusAt(int dir, const char* name, bool followLink) {
    FileStatus s;
    struct stat st;
    if (fstatat(dir, name, &st, followLink ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
        return s;
    s.exists = true;
    s.isDirectory = S_ISDIR(st.st_mode);
    s.isLink = S_ISLNK(st.st_mode);
    s.readable = faccessat(dir, name, R_OK, 0) == 0;
    s.writable = faccessat(dir, name, W_OK, 0) == 0;
    s.size = std::uint64_t(st.st_size);
    s.modified = std::int64_t(st.st_mtime);
    s.accessed = std::int64_t(st.st_atime);
    return s;
}

}  // namespace

std::string nativePath(const char* path) {
    std::string given(path ? path : "");
    for (char& c : given)
        if (c == '\\')
            c = '/';
    intoProgramFolder(given);
    if (given.empty() || present(given))
        return given;

    std::string out;
    bool resolving = true;
    std::size_t start = 0;
    while (start <= given.size()) {
        std::size_t end = given.find('/', start);
        if (end == std::string::npos)
            end = given.size();
        std::string part = given.substr(start, end - start);
        if (resolving && !part.empty() && part != "." && part != ".." && !present(out + part)) {
            std::string found;
            if (findFolded(out, part, found))
                part = found;
            else
                resolving = false;  // nothing below a missing folder can exist
        }
        out += part;
        if (end < given.size())
            out += '/';
        start = end + 1;
    }
    return out;
}

std::string foldedEntry(const std::string& folder, const std::string& name) {
    std::string found;
    return findFolded(folder, name, found) ? found : name;
}

FileStatus fileStatus(const char* path) { return statusAt(AT_FDCWD, nativePath(path).c_str(), true); }

FileStatus linkStatus(const char* path) { return statusAt(AT_FDCWD, nativePath(path).c_str(), false); }

FILE* openFile(const char* path, const char* mode) {
    // 'e': the descriptor is not inherited by programs we start.
    std::string withCloseOnExec = std::string(mode ? mode : "r") + "e";
    return std::fopen(nativePath(path).c_str(), withCloseOnExec.c_str());
}

bool makeDirectory(const char* path) { return mkdir(nativePath(path).c_str(), 0777) == 0; }

bool removeDirectory(const char* path) { return rmdir(nativePath(path).c_str()) == 0; }

bool removeFile(const char* path) { return unlink(nativePath(path).c_str()) == 0; }

std::vector<std::string> listDirectory(const char* folder, const char* pattern) { return Folder(folder).list(pattern); }

Folder::Folder(const char* path) {
    std::string native = nativePath(path);
    fd_ = open(native.empty() ? "." : native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

Folder::Folder(const Folder& parent, const std::string& name)
    : fd_(openat(parent.fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)) {}

Folder::~Folder() {
    if (fd_ >= 0)
        close(fd_);
}

std::vector<std::string> Folder::list(const char* pattern) const {
    std::vector<std::string> names;
    // A descriptor of its own: reading moves its position, and every listing
    // starts from the first entry.
    const int fd = openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            close(fd);
        return names;
    }
    const char* wanted = pattern && std::strcmp(pattern, "*.*") != 0 ? pattern : "*";
    while (const dirent* e = readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        if (matches(wanted, e->d_name))
            names.emplace_back(e->d_name);
    }
    closedir(dir);
    return names;
}

FileStatus Folder::status(const std::string& name) const { return statusAt(fd_, name.c_str(), false); }

bool Folder::remove(const std::string& name) const {
    const FileStatus s = status(name);
    return s.exists && unlinkat(fd_, name.c_str(), s.isDirectory ? AT_REMOVEDIR : 0) == 0;
}

}  // namespace platform
