#pragma once
// The drawing surface the encoders draw their bars on.

namespace qm {

class BarCanvas {
public:
    virtual ~BarCanvas() = default;
    // Fills the rectangle [x, x + width) x [y, y + height) with black; parts
    // outside the surface are clipped, an empty rectangle draws nothing.
    virtual void FillBlack(int x, int y, int width, int height) = 0;
};

} // namespace qm
