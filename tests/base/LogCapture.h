// Points the debug log at a fresh temporary file for one test and reads it
// back through a separate descriptor, so reading never moves the position
// the log writes at.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "base/Debug.h"

class LogCapture {
public:
    LogCapture() {
        char name[] = "/tmp/kalvora-log-XXXXXX";
        int fd = mkstemp(name);
        path_ = name;
        file_ = fdopen(fd, "w");
        orvel::setDebugFile(file_);
    }
    ~LogCapture() {
        orvel::setDebugFile(nullptr);
        std::fclose(file_);
        std::remove(path_.c_str());
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string text() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }

    // How often `line` occurs in the log.
    int count(const std::string& line) const {
        std::string all = text();
        int n = 0;
        for (size_t at = all.find(line); at != std::string::npos; at = all.find(line, at + line.size()))
            ++n;
        return n;
    }

private:
    std::string path_;
    FILE* file_ = nullptr;
};
