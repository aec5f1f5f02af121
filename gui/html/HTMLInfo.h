// What a document needs from the pane that shows it while drawing: its
// colours, packed 0xAABBGGRR (red in the low byte).
#pragma once

#include <cstdint>

namespace pellium {

class HTMLInfo {
public:
    virtual ~HTMLInfo() = default;
    virtual std::uint32_t textColor() const = 0;
    virtual std::uint32_t linkColor() const = 0;
    // 0: no background is painted.
    virtual std::uint32_t backgroundColor() const = 0;
};

}  // namespace pellium
