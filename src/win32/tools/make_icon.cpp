// Writes the program's icon file from the drawn shield: 16, 32 and 48 pixels, each a 32-bit
// bitmap with its alpha channel and an AND mask. Run by scripts/make-icon.sh; its output is
// committed as src/win32/tarnwick.ico.
#include "win32/Artwork.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

void put16(std::vector<unsigned char>& out, unsigned v) {
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

void put32(std::vector<unsigned char>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// One icon image: BITMAPINFOHEADER, rows bottom-up in straight-alpha BGRA, then the mask.
std::vector<unsigned char> iconImage(const tw::win32::Picture& p) {
    std::vector<unsigned char> out;
    const auto w = static_cast<std::uint32_t>(p.width);
    const auto h = static_cast<std::uint32_t>(p.height);
    const std::uint32_t maskRow = ((w + 31) / 32) * 4;
    put32(out, 40);
    put32(out, w);
    put32(out, h * 2);
    put16(out, 1);
    put16(out, 32);
    put32(out, 0);
    put32(out, w * h * 4 + maskRow * h);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    for (std::uint32_t row = h; row-- > 0;) {
        for (std::uint32_t x = 0; x < w; ++x) {
            const std::uint32_t px = p.pixels[row * w + x];
            const std::uint32_t a = px >> 24;
            const auto unpremultiply = [a](std::uint32_t c) {
                return a == 0 ? 0u : (c * 255 + a / 2) / a;
            };
            out.push_back(static_cast<unsigned char>(unpremultiply(px & 0xFF)));
            out.push_back(static_cast<unsigned char>(unpremultiply((px >> 8) & 0xFF)));
            out.push_back(static_cast<unsigned char>(unpremultiply((px >> 16) & 0xFF)));
            out.push_back(static_cast<unsigned char>(a));
        }
    }
    for (std::uint32_t row = h; row-- > 0;) {
        std::vector<unsigned char> bits(maskRow, 0);
        for (std::uint32_t x = 0; x < w; ++x) {
            if ((p.pixels[row * w + x] >> 24) == 0) {
                bits[x / 8] = static_cast<unsigned char>(bits[x / 8] | (0x80u >> (x % 8)));
            }
        }
        out.insert(out.end(), bits.begin(), bits.end());
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon OUTPUT.ico\n");
        return 2;
    }
    const int sizes[] = {16, 32, 48};
    std::vector<std::vector<unsigned char>> images;
    for (const int size : sizes) {
        images.push_back(iconImage(tw::win32::iconPicture(size)));
    }
    std::vector<unsigned char> out;
    put16(out, 0);
    put16(out, 1);
    put16(out, 3);
    std::uint32_t offset = 6 + 16 * 3;
    for (std::size_t i = 0; i < images.size(); ++i) {
        out.push_back(static_cast<unsigned char>(sizes[i]));
        out.push_back(static_cast<unsigned char>(sizes[i]));
        out.push_back(0);
        out.push_back(0);
        put16(out, 1);
        put16(out, 32);
        put32(out, static_cast<std::uint32_t>(images[i].size()));
        put32(out, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const auto& image : images) {
        out.insert(out.end(), image.begin(), image.end());
    }
    std::ofstream file(argv[1], std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return file ? 0 : 1;
}
