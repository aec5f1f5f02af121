// The mark of classes whose arithmetic must run in full double precision
// (transforms, bounds, collision). A renderer may leave the x87 unit in
// single precision; here doubles are SSE2 arithmetic, which always runs in
// full precision, so the mark sets nothing.
#pragma once

namespace kessa {

class DoublePrecision {};

}  // namespace kessa
