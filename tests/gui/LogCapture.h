// Sends the debug log to a temporary file for the life of the object, so a
// test can read what was logged.
#pragma once

#include <cstdio>
#include <string>

#include "base/Debug.h"

class LogCapture {
public:
    LogCapture() : file_(std::tmpfile()), previous_(orvel::debugFile()) { orvel::setDebugFile(file_); }
    ~LogCapture() {
        orvel::setDebugFile(previous_);
        std::fclose(file_);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string text() const {
        std::string out;
        std::rewind(file_);
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0)
            out.append(buffer, n);
        std::fseek(file_, 0, SEEK_END);
        return out;
    }

private:
    FILE* file_;
    FILE* previous_;
};
