// Draws Ferrolt's program icon: one 32 x 32 image, an envelope with an arrow leaving it, written
// as a .ico file. Built and run on the build machine, so the icon is made from this source alone
// and comes out byte for byte the same on every build.
//
//   make_icon OUTPUT.ico

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kSize = 32;

struct Pixel {
  uint8_t blue = 0, green = 0, red = 0, alpha = 0;
};

using Image = std::vector<Pixel>;  // row 0 at the top

Pixel Colour(uint8_t red, uint8_t green, uint8_t blue) { return Pixel{blue, green, red, 255}; }

void Put(Image* image, int x, int y, Pixel colour) {
  if (x < 0 || y < 0 || x >= kSize || y >= kSize) return;
  (*image)[y * kSize + x] = colour;
}

void FillRectangle(Image* image, int left, int top, int right, int bottom, Pixel colour) {
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) Put(image, x, y, colour);
  }
}

// A line one pixel wide from (x0, y0) to (x1, y1), Bresenham's way.
void DrawLine(Image* image, int x0, int y0, int x1, int y1, Pixel colour) {
  int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int error = dx + dy;
  while (true) {
    Put(image, x0, y0, colour);
    if (x0 == x1 && y0 == y1) break;
    int doubled = 2 * error;
    if (doubled >= dy) {
      error += dy;
      x0 += sx;
    }
    if (doubled <= dx) {
      error += dx;
      y0 += sy;
    }
  }
}

Image DrawIcon() {
  Image image(kSize * kSize);  // fully transparent
  const Pixel outline = Colour(0x1f, 0x3a, 0x68);
  const Pixel paper = Colour(0xf4, 0xf1, 0xe6);
  const Pixel arrow = Colour(0xd9, 0x5b, 0x16);
  // The envelope: paper with a dark outline and the flap's two diagonals.
  FillRectangle(&image, 2, 9, 24, 27, paper);
  DrawLine(&image, 2, 9, 23, 9, outline);
  DrawLine(&image, 2, 26, 23, 26, outline);
  DrawLine(&image, 2, 9, 2, 26, outline);
  DrawLine(&image, 23, 9, 23, 26, outline);
  DrawLine(&image, 2, 9, 12, 18, outline);
  DrawLine(&image, 23, 9, 13, 18, outline);
  // The arrow: a thick shaft out of the envelope to the upper right, and its head.
  for (int t = 0; t < 3; ++t) DrawLine(&image, 14, 20 + t, 25, 9 + t, arrow);
  FillRectangle(&image, 20, 3, 30, 6, arrow);
  FillRectangle(&image, 27, 3, 30, 13, arrow);
  return image;
}

void PutU16(std::vector<uint8_t>* out, uint16_t value) {
  out->push_back(value & 0xff);
  out->push_back(value >> 8);
}

void PutU32(std::vector<uint8_t>* out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back((value >> shift) & 0xff);
}

std::vector<uint8_t> EncodeIco(const Image& image) {
  constexpr uint32_t kMaskRowBytes = 4;  // 32 bits, already a multiple of four bytes
  constexpr uint32_t kImageBytes = 40 + kSize * kSize * 4 + kSize * kMaskRowBytes;
  std::vector<uint8_t> out;
  PutU16(&out, 0);  // icon directory: reserved, type 1 (icon), one image
  PutU16(&out, 1);
  PutU16(&out, 1);
  out.push_back(kSize);  // directory entry: width, height, no palette, reserved
  out.push_back(kSize);
  out.push_back(0);
  out.push_back(0);
  PutU16(&out, 1);   // planes
  PutU16(&out, 32);  // bits per pixel
  PutU32(&out, kImageBytes);
  PutU32(&out, 6 + 16);  // the image follows the one entry
  PutU32(&out, 40);      // BITMAPINFOHEADER; the height counts colour and mask rows
  PutU32(&out, kSize);
  PutU32(&out, kSize * 2);
  PutU16(&out, 1);
  PutU16(&out, 32);
  PutU32(&out, 0);  // BI_RGB
  PutU32(&out, kSize * kSize * 4 + kSize * kMaskRowBytes);
  PutU32(&out, 0);
  PutU32(&out, 0);
  PutU32(&out, 0);
  PutU32(&out, 0);
  for (int y = kSize - 1; y >= 0; --y) {  // bottom row first
    for (int x = 0; x < kSize; ++x) {
      const Pixel& p = image[y * kSize + x];
      out.insert(out.end(), {p.blue, p.green, p.red, p.alpha});
    }
  }
  for (int y = kSize - 1; y >= 0; --y) {  // AND mask: 1 where transparent
    uint32_t bits = 0;
    for (int x = 0; x < kSize; ++x) {
      if (image[y * kSize + x].alpha == 0) bits |= 0x80000000u >> x;
    }
    out.insert(out.end(), {static_cast<uint8_t>(bits >> 24), static_cast<uint8_t>(bits >> 16),
                           static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits)});
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon OUTPUT.ico\n");
    return 2;
  }
  std::vector<uint8_t> bytes = EncodeIco(DrawIcon());
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (std::fclose(file) != 0 || !written) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
