#pragma once

#include <cstdint>

namespace kubelmar {

// Hears the surface's colours beside a solid mode's stack: for slice s,
// before the slice itself goes on, every voxel the surface touches, filled
// or not, with the surface's colour there. Slices come in order.
class SurfaceColourSink {
public:
    virtual ~SurfaceColourSink() = default;
    // `rgba`: alpha 255 and the colour where the surface touches the voxel,
    // alpha 0 elsewhere; laid out as the slice is. Valid during the call only.
    virtual void surfaceColours(int s, const std::uint8_t* rgba) = 0;
};

}  // namespace kubelmar
