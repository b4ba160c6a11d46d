#pragma once
// A 1-bit picture: black and white pixels, as the barcode is drawn before it is printed.

#include <string>
#include <vector>

namespace kova {

class TBitmap1 {
public:
    TBitmap1(int width = 0, int height = 0);
    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Pixel(int x, int y) const;  // true = black
    // The pixels of row y, Width() of them, nonzero for black; y must lie in the picture.
    const unsigned char* Linha(int y) const { return pixels_.data() + size_t(y) * size_t(width_); }
    // Fills the rectangle with corners (x0, y0) and (x1, y1), both included; clipped to the
    // picture.
    void FillRect(int x0, int y0, int x1, int y1, bool black);
    // The picture as a plain PBM file (for tools that read images).
    std::string ToPBM(int scale = 1) const;

private:
    int width_, height_;
    std::vector<unsigned char> pixels_;
};

}  // namespace kova
