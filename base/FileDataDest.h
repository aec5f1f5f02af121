// A sink that writes a file, opened for writing ("wb") on construction.
#pragma once

#include <cstdio>

#include "base/DataDest.h"

namespace orvel {

class FileDataDest : public DataDest {
public:
    // A null name makes an unopened sink; a file that cannot be opened too.
    explicit FileDataDest(const char* name);
    ~FileDataDest() override;

    bool good() const override { return file_ && !fail(); }
    DataDest& writeByte(char c) override;
    DataDest& write(const void* data, unsigned count) override;
    // Closes the file; an error while flushing what was written fails the sink.
    void close() override;

private:
    FILE* file_ = nullptr;
};

}  // namespace orvel
