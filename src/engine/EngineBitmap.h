#pragma once
// A picture handed out of the engine: 24 bits per pixel in B, G, R byte
// order, rows top to bottom, each row `stride` bytes long (a multiple of
// four, like a device-independent bitmap). The window wraps it in a QImage
// (Format_BGR888) without converting.

#include <cstdint>
#include <vector>

namespace quillor {

struct EngineBitmap {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<std::uint8_t> bits;

    // Sizes the bitmap and fills it black.
    void resize(int w, int h)
    {
        width = w > 0 ? w : 0;
        height = h > 0 ? h : 0;
        stride = (width * 3 + 3) & ~3;
        bits.assign(static_cast<std::size_t>(stride) * height, 0);
    }
    bool empty() const { return width == 0 || height == 0; }
    std::uint8_t *row(int y) { return bits.data() + static_cast<std::size_t>(y) * stride; }
    const std::uint8_t *row(int y) const { return bits.data() + static_cast<std::size_t>(y) * stride; }
};

} // namespace quillor
