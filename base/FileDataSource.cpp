#include "FileDataSource.h"

#include "base/FilePath.h"
#include "platform/FileSystem.h"

namespace orvel {

FileDataSource::FileDataSource(const char* name) : buffer_(new unsigned char[bufferSize]()) {
    emptyBuffer(0);
    open(name);
}

FileDataSource::FileDataSource(const FilePath& path) : FileDataSource(path.c_str()) {}

FileDataSource::~FileDataSource() { close(); }

void FileDataSource::emptyBuffer(unsigned start) {
    bufferStart_ = start;
    windowNext = windowEnd = buffer_.get();
}

void FileDataSource::close() {
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    size_ = 0;
    emptyBuffer(0);
}

void FileDataSource::open(const char* name) {
    close();
    fail = false;
    if (!name)
        return;
    platform::FileStatus status = platform::fileStatus(name);
    if (!status.exists || status.isDirectory)
        return;
    size_ = status.size > 0xFFFFFFFFu ? 0xFFFFFFFFu : unsigned(status.size);
    file_ = platform::openFile(name, "rb");
    if (!file_) {
        fail = true;
        return;
    }
    // This source does its own buffering.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    peekByte();
}

// Loads the next block after an emptied buffer: the whole buffer, or what is
// left of the file when less. Nothing left, or a short read, fails the source.
bool FileDataSource::refill() {
    emptyBuffer(position());
    if (!file_ || std::ferror(file_)) {
        fail = true;
        return false;
    }
    unsigned n = size_ - bufferStart_;
    if (n > bufferSize)
        n = bufferSize;
    if (n == 0 || std::fread(buffer_.get(), 1, n, file_) < n) {
        fail = true;
        return false;
    }
    windowEnd = buffer_.get() + n;
    return true;
}

int FileDataSource::readByte() {
    if (fail)
        return -1;
    if (windowNext == windowEnd && !refill())
        return -1;
    return *windowNext++;
}

int FileDataSource::peekByte() {
    if (fail)
        return -1;
    if (windowNext == windowEnd && !refill())
        return -1;
    return *windowNext;
}

unsigned FileDataSource::read(void* buffer, unsigned count) {
    unsigned char* out = static_cast<unsigned char*>(buffer);
    unsigned done = 0;
    while (done < count && !fail) {
        unsigned inBuffer = unsigned(windowEnd - windowNext);
        if (inBuffer > 0) {
            unsigned n = count - done < inBuffer ? count - done : inBuffer;
            std::memcpy(out + done, windowNext, n);
            windowNext += n;
            done += n;
        } else if (count - done < bufferSize) {
            refill();
        } else {
            // Large reads go straight from the file into the caller's block.
            emptyBuffer(position());
            if (!file_) {
                fail = true;
                break;
            }
            unsigned want = count - done;
            unsigned got = unsigned(std::fread(out + done, 1, want, file_));
            bufferStart_ += got;
            done += got;
            if (got < want)
                fail = true;
        }
    }
    return done;
}

void FileDataSource::skip(unsigned count) {
    if (fail)
        return;
    unsigned inBuffer = unsigned(windowEnd - windowNext);
    if (count <= inBuffer) {
        windowNext += count;
        return;
    }
    unsigned rest = count - inBuffer;
    if (rest <= bufferSize) {
        windowNext = windowEnd;
        if (!refill())
            return;
        // Near the end the block may hold fewer bytes than the skip needs.
        if (rest > unsigned(windowEnd - windowNext)) {
            windowNext = windowEnd;
            fail = true;
            return;
        }
        windowNext += rest;
        return;
    }
    unsigned long long target = (unsigned long long)position() + count;
    if (target > size_) {
        fail = true;
        return;
    }
    seek(unsigned(target));
}

void FileDataSource::seek(unsigned p) {
    if (!file_ || p > size_) {
        fail = true;
        return;
    }
    unsigned loaded = unsigned(windowEnd - buffer_.get());
    if (p >= bufferStart_ && p - bufferStart_ <= loaded) {
        windowNext = buffer_.get() + (p - bufferStart_);
        return;
    }
    if (std::fseek(file_, long(p), SEEK_SET) != 0) {
        fail = true;
        return;
    }
    emptyBuffer(p);
}

}  // namespace orvel
