#include "Shell.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

namespace {

// The full path of an executable program, searched on PATH when the name
// holds no '/'; "" when there is none.
std::string findProgram(const char* name) {
    if (std::strchr(name, '/'))
        return access(name, X_OK) == 0 ? std::string(name) : std::string();
    const char* path = std::getenv("PATH");
    std::string folders = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        std::size_t end = folders.find(':', start);
        std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (end == std::string::npos)
            return std::string();
        start = end + 1;
    }
}

}  // namespace

int shellExecute(ShellExecuteRecord* record) {
    if (!record || !record->file || !*record->file)
        return 0;
    if (record->verb && *record->verb && std::strcmp(record->verb, "open") != 0)
        return 0;
    const char* opener = std::getenv("ORVEL_SHELL_OPENER");
    std::string program = findProgram(opener && *opener ? opener : "xdg-open");
    if (program.empty())
        return 0;
    // Everything the child needs is made before fork: between fork and exec
    // only calls that are safe in a copy of a threaded process are made.
    std::string file = record->file;
    char* argv[] = {program.data(), file.data(), nullptr};
    // The opener runs in a grandchild that init adopts, so nothing is left
    // to wait for and no zombie remains.
    pid_t child = fork();
    if (child < 0)
        return 0;
    if (child == 0) {
        pid_t grandchild = fork();
        if (grandchild == 0) {
            setsid();
            close_range(3, ~0u, 0);
            execv(argv[0], argv);
            _exit(127);
        }
        _exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 0;
}

}  // namespace platform
