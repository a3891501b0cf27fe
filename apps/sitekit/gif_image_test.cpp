// Tests of GifImage: the files decode back to the same pixels (through a
// small decoder written here from the GIF89a format), with the sizes,
// colour table and transparency they claim.
#include "apps/sitekit/gif_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "zarel/testing/files.h"

namespace zarel {
namespace {

int Word(const std::string& gif, std::size_t at) {
  return static_cast<std::uint8_t>(gif[at]) | (static_cast<std::uint8_t>(gif[at + 1]) << 8);
}

// What a decoder makes of a single-image GIF file.
struct Decoded {
  int width = 0;
  int height = 0;
  int table_size = 0;
  int transparent = -1;
  std::vector<std::uint8_t> pixels;
};

Decoded Decode(const std::string& gif) {
  Decoded out;
  EXPECT_EQ(gif.substr(0, 6), "GIF89a");
  out.width = Word(gif, 6);
  out.height = Word(gif, 8);
  const int packed = static_cast<std::uint8_t>(gif[10]);
  EXPECT_TRUE(packed & 0x80) << "global colour table";
  out.table_size = 1 << ((packed & 7) + 1);
  std::size_t at = 13 + 3 * static_cast<std::size_t>(out.table_size);
  if (gif[at] == '\x21') {
    EXPECT_EQ(static_cast<std::uint8_t>(gif[at + 1]), 0xF9);
    if (gif[at + 3] & 1) out.transparent = static_cast<std::uint8_t>(gif[at + 6]);
    at += 8;
  }
  EXPECT_EQ(gif[at], '\x2C');
  EXPECT_EQ(Word(gif, at + 5), out.width);
  EXPECT_EQ(Word(gif, at + 7), out.height);
  at += 10;
  const int min_code_size = gif[at++];
  std::string data;
  while (gif[at] != '\0') {
    const std::size_t length = static_cast<std::uint8_t>(gif[at]);
    data.append(gif, at + 1, length);
    at += length + 1;
  }
  EXPECT_EQ(gif.substr(at + 1), "\x3B") << "trailer right after the image";

  const int clear = 1 << min_code_size;
  std::vector<std::vector<std::uint8_t>> table;
  auto reset = [&] {
    table.clear();
    for (int i = 0; i < clear + 2; ++i) table.push_back({static_cast<std::uint8_t>(i)});
  };
  reset();
  int code_size = min_code_size + 1;
  std::size_t bit = 0;
  int previous = -1;
  bool ended = false;
  while (bit + static_cast<std::size_t>(code_size) <= data.size() * 8) {
    int code = 0;
    for (int i = 0; i < code_size; ++i, ++bit) {
      if (static_cast<std::uint8_t>(data[bit / 8]) & (1 << (bit % 8))) code |= 1 << i;
    }
    if (code == clear) {
      reset();
      code_size = min_code_size + 1;
      previous = -1;
      continue;
    }
    if (code == clear + 1) {
      ended = true;
      break;
    }
    std::vector<std::uint8_t> entry;
    if (code < static_cast<int>(table.size())) {
      entry = table[static_cast<std::size_t>(code)];
    } else {
      EXPECT_EQ(code, static_cast<int>(table.size())) << "code beyond the table";
      if (previous < 0) return out;
      entry = table[static_cast<std::size_t>(previous)];
      entry.push_back(entry.front());
    }
    out.pixels.insert(out.pixels.end(), entry.begin(), entry.end());
    if (previous >= 0 && table.size() < 4096) {
      std::vector<std::uint8_t> added = table[static_cast<std::size_t>(previous)];
      added.push_back(entry.front());
      table.push_back(added);
      if (table.size() == (1u << code_size) && code_size < 12) ++code_size;
    }
    previous = code;
  }
  EXPECT_TRUE(ended) << "end code";
  return out;
}

std::vector<std::uint8_t> PixelsOf(const GifImage& image) {
  std::vector<std::uint8_t> pixels;
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) pixels.push_back(image.Pixel(x, y));
  }
  return pixels;
}

TEST(GifImageTest, FilesDecodeToTheirPixels) {
  std::mt19937 random(7);
  struct Case {
    const char* what;
    int width, height, colours;
    bool noise;
  };
  const Case cases[] = {
      {"one pixel", 1, 1, 1, false},
      {"two colours, flat", 4, 4, 2, false},
      {"two colours, noise", 37, 23, 2, true},
      {"five colours pad to eight", 64, 48, 5, true},
      {"256 colours fill the code table several times", 300, 200, 256, true},
      {"long runs widen the codes to 12 bits", 1000, 400, 4, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Rgb> palette;
    for (int i = 0; i < c.colours; ++i) palette.push_back({static_cast<std::uint8_t>(i), 0, 0});
    GifImage image(c.width, c.height, palette);
    if (c.noise) {
      for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
          image.SetPixel(x, y, static_cast<std::uint8_t>(random() % static_cast<unsigned>(c.colours)));
        }
      }
    } else if (c.colours > 1) {
      image.FillCircle(c.width / 2.0, c.height / 2.0, c.height / 3.0, static_cast<std::uint8_t>(c.colours - 1));
      image.DrawText(1, 1, "ZAREL 2026", 3, 1);
    }
    const Decoded decoded = Decode(image.EncodeGif());
    EXPECT_EQ(decoded.width, c.width);
    EXPECT_EQ(decoded.height, c.height);
    EXPECT_GE(decoded.table_size, c.colours);
    EXPECT_EQ(decoded.transparent, -1);
    EXPECT_EQ(decoded.pixels, PixelsOf(image));
  }
}

TEST(GifImageTest, TransparencyAndDrawing) {
  GifImage image(12, 12, {{255, 255, 255}, {0, 0, 255}});
  image.FillCircle(6, 6, 3, 1);
  image.FillRect(-5, -5, 6, 6, 1);  // clipped to the top-left pixel
  EXPECT_EQ(image.Pixel(0, 0), 1);
  EXPECT_EQ(image.Pixel(1, 1), 0);
  EXPECT_EQ(image.Pixel(6, 6), 1);
  EXPECT_EQ(image.Pixel(11, 11), 0);
  EXPECT_EQ(GifImage::TextWidth("AB", 2), 22);
  const Decoded decoded = Decode(image.EncodeGif(0));
  EXPECT_EQ(decoded.transparent, 0);
  EXPECT_EQ(decoded.pixels, PixelsOf(image));

  EXPECT_EQ(testing::ErrorNumberOf([] { GifImage(0, 5, {{0, 0, 0}}); }), 5);
  EXPECT_EQ(testing::ErrorNumberOf([] { GifImage(5, 5, {}); }), 5);
  EXPECT_EQ(testing::ErrorNumberOf([] { GifImage(5, 5, {{0, 0, 0}}, 1); }), 5);
  EXPECT_EQ(testing::ErrorNumberOf([&] { image.Pixel(12, 0); }), 9);
}

}  // namespace
}  // namespace zarel
