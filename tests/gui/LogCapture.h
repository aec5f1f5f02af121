// Sends the debug log to a temporary file for the life of the object, so a
// test can read what was logged.
#pragma once

#include <cstdio>
#include <string>

#include <unistd.h>

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

    // What was logged since the last take, which is then forgotten.
    std::string take() {
        std::string out = text();
        std::fflush(file_);
        if (ftruncate(fileno(file_), 0) != 0)
            return out;
        std::rewind(file_);
        return out;
    }

private:
    FILE* file_;
    FILE* previous_;
};
