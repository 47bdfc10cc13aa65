#pragma once

namespace kubelmar {

// Clears the bound target (to the clear colour set before, then sets it to
// opaque black for the next clear, the order every mode's pictures were
// pinned with), and sets a `width` x `height` viewport onto the frame cube:
// x and y from -kFrameHalfSide to kFrameHalfSide across the picture, depth
// from -depthReach to depthReach, with an identity model-view to build on.
void startFrameView(int width, int height, float depthReach);
inline void startFrameView(int pixels, float depthReach) { startFrameView(pixels, pixels, depthReach); }

}  // namespace kubelmar
