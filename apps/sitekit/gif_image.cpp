// GifImage: palette raster, drawing and GIF89a encoding (see gif_image.h).
#include "apps/sitekit/gif_image.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "zarel/base/ascii_text.h"
#include "zarel/base/error.h"

namespace zarel {

namespace {

// One glyph of the 5 x 7 font: seven rows, the leftmost pixel in bit 4.
struct Glyph {
  char c;
  std::uint8_t rows[7];
};

constexpr Glyph kFont[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}}, {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'&', {0x0C, 0x12, 0x14, 0x08, 0x15, 0x12, 0x0D}},
};

const Glyph* FindGlyph(char c) {
  const char upper = UpperAsciiChar(c);
  for (const Glyph& glyph : kFont) {
    if (glyph.c == upper) return &glyph;
  }
  return nullptr;
}

void PutWord(std::string& out, int value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

// Packs variable-length codes least significant bit first into the data
// sub-blocks of an image (at most 255 bytes each).
class CodeWriter {
 public:
  void Write(int code, int size) {
    bits_ |= static_cast<std::uint32_t>(code) << count_;
    count_ += size;
    while (count_ >= 8) {
      bytes_.push_back(static_cast<char>(bits_ & 0xFF));
      bits_ >>= 8;
      count_ -= 8;
    }
  }
  // The sub-blocks and their terminator.
  std::string Finish() {
    if (count_ > 0) bytes_.push_back(static_cast<char>(bits_ & 0xFF));
    std::string blocks;
    for (std::size_t at = 0; at < bytes_.size(); at += 255) {
      const std::size_t length = std::min<std::size_t>(255, bytes_.size() - at);
      blocks.push_back(static_cast<char>(length));
      blocks.append(bytes_, at, length);
    }
    blocks.push_back('\0');
    return blocks;
  }

 private:
  std::uint32_t bits_ = 0;
  int count_ = 0;
  std::string bytes_;
};

// GIF's LZW over the pixel indexes. The encoder's table runs one entry ahead
// of the decoder's, so it widens its codes as soon as its newest entry no
// longer fits; at 4095 entries it starts a new table with a clear code.
std::string CompressLzw(const std::vector<std::uint8_t>& pixels, int min_code_size) {
  const int clear = 1 << min_code_size;
  const int end = clear + 1;
  CodeWriter writer;
  std::unordered_map<std::uint32_t, int> table;
  int code_size = min_code_size + 1;
  int last_code = end;
  writer.Write(clear, code_size);
  int current = pixels.front();
  for (std::size_t i = 1; i < pixels.size(); ++i) {
    const std::uint32_t entry = (static_cast<std::uint32_t>(current) << 8) | pixels[i];
    const auto found = table.find(entry);
    if (found != table.end()) {
      current = found->second;
      continue;
    }
    writer.Write(current, code_size);
    table.emplace(entry, ++last_code);
    if (last_code >= (1 << code_size) && code_size < 12) ++code_size;
    if (last_code == 4095) {
      writer.Write(clear, code_size);
      table.clear();
      code_size = min_code_size + 1;
      last_code = end;
    }
    current = pixels[i];
  }
  writer.Write(current, code_size);
  // The decoder adds an entry for the last code too; the end code must have
  // the width that entry gives.
  if (last_code != end && last_code + 1 >= (1 << code_size) && code_size < 12) ++code_size;
  writer.Write(end, code_size);
  return writer.Finish();
}

}  // namespace

GifImage::GifImage(int width, int height, std::vector<Rgb> palette, std::uint8_t background)
    : width_(width), height_(height), palette_(std::move(palette)) {
  if (width < 1 || height < 1 || width > 65535 || height > 65535 || palette_.empty() ||
      palette_.size() > 256 || background >= palette_.size()) {
    Raise(errc::kInvalidProcedureCall);
  }
  pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), background);
}

std::uint8_t GifImage::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) Raise(errc::kSubscriptOutOfRange);
  return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
}

void GifImage::SetPixel(int x, int y, std::uint8_t colour) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] = colour;
}

void GifImage::FillRect(int x, int y, int width, int height, std::uint8_t colour) {
  for (int row = y; row < y + height; ++row) {
    for (int column = x; column < x + width; ++column) SetPixel(column, row, colour);
  }
}

void GifImage::FillCircle(double cx, double cy, double radius, std::uint8_t colour) {
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const double dx = x + 0.5 - cx;
      const double dy = y + 0.5 - cy;
      if (dx * dx + dy * dy <= radius * radius) SetPixel(x, y, colour);
    }
  }
}

void GifImage::FillRoundRect(int x, int y, int width, int height, int radius, std::uint8_t colour) {
  FillRect(x + radius, y, width - 2 * radius, height, colour);
  FillRect(x, y + radius, width, height - 2 * radius, colour);
  const double r = radius;
  FillCircle(x + r, y + r, r, colour);
  FillCircle(x + width - r, y + r, r, colour);
  FillCircle(x + r, y + height - r, r, colour);
  FillCircle(x + width - r, y + height - r, r, colour);
}

void GifImage::DrawText(int x, int y, const std::string& text, int scale, std::uint8_t colour) {
  for (const char c : text) {
    if (const Glyph* glyph = FindGlyph(c)) {
      for (int row = 0; row < 7; ++row) {
        for (int bit = 0; bit < 5; ++bit) {
          if (glyph->rows[row] & (0x10 >> bit)) FillRect(x + bit * scale, y + row * scale, scale, scale, colour);
        }
      }
    }
    x += 6 * scale;
  }
}

int GifImage::TextWidth(const std::string& text, int scale) {
  return text.empty() ? 0 : static_cast<int>(text.size()) * 6 * scale - scale;
}

std::string GifImage::EncodeGif(std::optional<std::uint8_t> transparent) const {
  int table_bits = 1;
  while ((1u << table_bits) < palette_.size()) ++table_bits;
  std::string out = "GIF89a";
  PutWord(out, width_);
  PutWord(out, height_);
  // A global colour table of 2^table_bits entries, 8 bits per primary.
  out.push_back(static_cast<char>(0x80 | 0x70 | (table_bits - 1)));
  out.push_back('\0');  // background colour index
  out.push_back('\0');  // no aspect ratio
  for (std::size_t i = 0; i < (1u << table_bits); ++i) {
    const Rgb colour = i < palette_.size() ? palette_[i] : Rgb{0, 0, 0};
    out.push_back(static_cast<char>(colour.r));
    out.push_back(static_cast<char>(colour.g));
    out.push_back(static_cast<char>(colour.b));
  }
  if (transparent) {
    out += std::string("\x21\xF9\x04\x01\x00\x00", 6);
    out.push_back(static_cast<char>(*transparent));
    out.push_back('\0');
  }
  out.push_back('\x2C');
  PutWord(out, 0);
  PutWord(out, 0);
  PutWord(out, width_);
  PutWord(out, height_);
  out.push_back('\0');  // no local colour table, not interlaced
  const int min_code_size = table_bits < 2 ? 2 : table_bits;
  out.push_back(static_cast<char>(min_code_size));
  out += CompressLzw(pixels_, min_code_size);
  out.push_back('\x3B');
  return out;
}

}  // namespace zarel
