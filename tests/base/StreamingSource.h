// A source that can neither seek nor tell how much is left, like a network
// connection: the typed readers reach its bytes only through its byte
// operations, never through a window.
#pragma once

#include <algorithm>
#include <utility>
#include <vector>

#include "base/DataSource.h"

class StreamingSource : public orvel::DataSource {
public:
    explicit StreamingSource(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}
    bool good() const override { return !fail(); }
    int readByte() override {
        if (fail() || next_ == bytes_.size()) {
            setFail();
            return -1;
        }
        return bytes_[next_++];
    }
    unsigned read(void* buffer, unsigned count) override {
        if (fail())
            return 0;
        unsigned n = std::min<unsigned>(count, unsigned(bytes_.size() - next_));
        std::copy_n(bytes_.begin() + long(next_), n, static_cast<unsigned char*>(buffer));
        next_ += n;
        return n;
    }
    int peekByte() override { return fail() || next_ == bytes_.size() ? -1 : bytes_[next_]; }

private:
    std::vector<unsigned char> bytes_;
    size_t next_ = 0;
};
