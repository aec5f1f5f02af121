#include "media/ModelSearchPaths.h"

#include "base/FilePath.h"

namespace modrane {

namespace {

std::vector<orvel_string>& folders() {
    static std::vector<orvel_string> list{orvel::programFolder(), orvel_string()};
    return list;
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// A name that a folder cannot be put before: from the root, or on a drive.
bool isAbsolute(const orvel_string& name) {
    return (!name.empty() && isSeparator(name[0])) || (name.length() > 1 && name[1] == ':');
}

bool isFile(const orvel::FilePath& path) {
    orvel::FilePath::StatInfo info = path.stat();
    return info.exists && !info.isDirectory;
}

}  // namespace

void setSearchFolders(const std::vector<orvel_string>& list) { folders() = list; }

const std::vector<orvel_string>& searchFolders() { return folders(); }

orvel_string findModelFile(const orvel_string& name) {
    if (name.empty())
        return orvel_string();
    orvel::FilePath given(name);
    if (isFile(given))
        return given.str();
    if (isAbsolute(name))
        return orvel_string();
    for (const orvel_string& folder : folders()) {
        if (folder.empty())
            continue;  // the working folder: the name as given
        // Joined with one separator: a doubled one costs FilePath a pause.
        orvel_string text = folder;
        if (!isSeparator(text[text.length() - 1]))
            text.push_back('\\');
        orvel::FilePath path(text + name);
        if (isFile(path))
            return path.str();
    }
    return orvel_string();
}

}  // namespace modrane
