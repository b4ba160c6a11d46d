#include "TBitmap1.h"

#include <algorithm>

namespace kova {

TBitmap1::TBitmap1(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(size_t(width_) * size_t(height_), 0) {}

bool TBitmap1::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
    return pixels_[size_t(y) * size_t(width_) + size_t(x)] != 0;
}

void TBitmap1::FillRect(int x0, int y0, int x1, int y1, bool black) {
    if (x0 > x1) std::swap(x0, x1);
    if (y0 > y1) std::swap(y0, y1);
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width_ - 1);
    y1 = std::min(y1, height_ - 1);
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x)
            pixels_[size_t(y) * size_t(width_) + size_t(x)] = black ? 1 : 0;
    }
}

std::string TBitmap1::ToPBM(int scale) const {
    std::string s =
        "P1\n" + std::to_string(width_ * scale) + " " + std::to_string(height_ * scale) + "\n";
    for (int y = 0; y < height_ * scale; ++y) {
        for (int x = 0; x < width_ * scale; ++x) s += Pixel(x / scale, y / scale) ? "1 " : "0 ";
        s += "\n";
    }
    return s;
}

}  // namespace kova
