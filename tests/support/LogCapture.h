// Sends the debug log to a fresh temporary file while a LogCapture lives
// (the log's earlier file comes back afterwards), so that a test can read
// what was logged. Reading goes through a descriptor of its own: it never
// moves the position the log writes at, even while other threads log.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "base/Debug.h"

class LogCapture {
public:
    LogCapture() : previous_(orvel::debugFile()) {
        char name[] = "/tmp/kalvora-log-XXXXXX";
        int fd = mkstemp(name);
        file_ = fd < 0 ? nullptr : fdopen(fd, "w");
        if (!file_)
            throw std::runtime_error("no file for the log");
        path_ = name;
        orvel::setDebugFile(file_);
    }
    ~LogCapture() {
        orvel::setDebugFile(previous_);
        std::fclose(file_);
        std::remove(path_.c_str());
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // What was logged since the capture began, or since the last take().
    std::string text() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str().substr(taken_);
    }

    // The same, which is then forgotten.
    std::string take() {
        std::string out = text();
        taken_ += out.size();
        return out;
    }

    // How often `line` occurs in text().
    int count(const std::string& line) const {
        std::string all = text();
        int n = 0;
        for (size_t at = all.find(line); at != std::string::npos; at = all.find(line, at + line.size()))
            ++n;
        return n;
    }

private:
    FILE* file_ = nullptr;
    FILE* previous_;
    std::string path_;
    size_t taken_ = 0;
};
