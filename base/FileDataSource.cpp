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
    loaded_ = 0;
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
    clearFail();
    if (!name)
        return;
    platform::FileStatus status = platform::fileStatus(name);
    if (!status.exists || status.isDirectory)
        return;
    size_ = status.size > 0xFFFFFFFFu ? 0xFFFFFFFFu : unsigned(status.size);
    file_ = platform::openFile(name, "rb");
    if (!file_) {
        setFail();
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
        setFail();
        return false;
    }
    unsigned n = size_ - bufferStart_;
    if (n > bufferSize)
        n = bufferSize;
    if (n == 0 || std::fread(buffer_.get(), 1, n, file_) < n) {
        setFail();
        return false;
    }
    loaded_ = n;
    windowEnd = buffer_.get() + n;
    return true;
}

int FileDataSource::readByte() {
    if (fail())
        return -1;
    if (windowNext == windowEnd && !refill())
        return -1;
    return *windowNext++;
}

int FileDataSource::peekByte() {
    if (fail())
        return -1;
    if (windowNext == windowEnd && !refill())
        return -1;
    return *windowNext;
}

unsigned FileDataSource::read(void* buffer, unsigned count) {
    unsigned char* out = static_cast<unsigned char*>(buffer);
    unsigned done = 0;
    while (done < count && !fail()) {
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
                setFail();
                break;
            }
            // Never past the size taken at opening, so that positions stay
            // within it even when the file has grown since.
            unsigned want = count - done;
            unsigned left = size_ - bufferStart_;
            unsigned got = unsigned(std::fread(out + done, 1, want < left ? want : left, file_));
            bufferStart_ += got;
            done += got;
            if (got < want)
                setFail();
        }
    }
    return done;
}

void FileDataSource::skip(unsigned count) {
    if (fail())
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
        if (rest > loaded_) {
            windowNext = windowEnd;
            setFail();
            return;
        }
        windowNext += rest;
        return;
    }
    unsigned long long target = (unsigned long long)position() + count;
    if (target > size_) {
        setFail();
        return;
    }
    seek(unsigned(target));
}

// A seek moves the position but does not clear fail.
void FileDataSource::seek(unsigned p) {
    if (!file_ || p > size_) {
        setFail();
        return;
    }
    if (p >= bufferStart_ && p - bufferStart_ <= loaded_) {
        windowNext = buffer_.get() + (p - bufferStart_);
        windowEnd = fail() ? windowNext : buffer_.get() + loaded_;
        return;
    }
    if (std::fseek(file_, long(p), SEEK_SET) != 0) {
        setFail();
        return;
    }
    emptyBuffer(p);
}

}  // namespace orvel
