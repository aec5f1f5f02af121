// Everything the debug log receives while a LogCapture lives.
#pragma once

#include <cstdio>
#include <string>

#include "base/Debug.h"

class LogCapture {
public:
    LogCapture() : file_(std::tmpfile()) { orvel::setDebugFile(file_); }
    ~LogCapture() {
        orvel::setDebugFile(nullptr);
        std::fclose(file_);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string text() {
        std::fflush(file_);
        std::rewind(file_);
        std::string out;
        for (int c; (c = std::fgetc(file_)) != EOF;)
            out += char(c);
        return out;
    }

private:
    FILE* file_;
};
