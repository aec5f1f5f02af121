// A buffered reader of a file. It reads the file in blocks of 64 KiB; typed
// reads that lie in the buffer are copied straight out of it. Reaching the
// end of the file fails the source.
#pragma once

#include <cstdio>
#include <memory>

#include "base/DataSource.h"

namespace orvel {

class FilePath;

class FileDataSource : public DataSource {
public:
    static constexpr unsigned bufferSize = 65536;

    // Opens name (see open); a null name makes an unopened source.
    explicit FileDataSource(const char* name = nullptr);
    explicit FileDataSource(const FilePath& path);
    ~FileDataSource() override;

    // Closes any open file and opens name. A file that does not exist leaves
    // the source unopened (not good); one that cannot be opened fails it.
    void open(const char* name);

    bool good() const override { return file_ && !fail(); }
    int readByte() override;
    unsigned read(void* buffer, unsigned count) override;
    int peekByte() override;
    void skip(unsigned count) override;
    void close() override;
    bool isSeekable() const override { return true; }
    unsigned position() const override { return bufferStart_ + unsigned(windowNext - buffer_.get()); }
    // Up to and including the end of the file; past it the source fails.
    void seek(unsigned position) override;
    unsigned bytesRemaining() const override { return good() ? size_ - position() : 0; }

    unsigned size() const { return size_; }

private:
    void emptyBuffer(unsigned start);
    bool refill();

    std::unique_ptr<unsigned char[]> buffer_;
    FILE* file_ = nullptr;
    // Sizes and positions are 32-bit; a larger file reads as its first 4 GiB.
    unsigned size_ = 0;
    // The file position of buffer_[0], and how many bytes the buffer holds
    // from there. The C file stands at the end of those bytes. (The window
    // may end earlier: a failed source has an empty one.)
    unsigned bufferStart_ = 0;
    unsigned loaded_ = 0;
};

}  // namespace orvel
