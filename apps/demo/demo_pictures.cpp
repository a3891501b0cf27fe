// The demo site's product pictures (see demo_pictures.h), drawn on palette
// rasters.
#include "apps/demo/demo_pictures.h"

#include <iterator>

#include "apps/sitekit/gif_image.h"

namespace zarel::demo {

namespace {

// Palette indexes of the product pictures.
enum : std::uint8_t { kBack, kWhite, kInk, kAccent, kShade, kLine, kLight };

constexpr Rgb kAccents[] = {
    {0x2C, 0x6E, 0x9B}, {0xD6, 0x45, 0x45}, {0x3C, 0x9D, 0x5D}, {0xE0, 0x8E, 0x1B},
    {0x7B, 0x4F, 0xB3}, {0x1F, 0x9E, 0xA8}, {0xC2, 0x4E, 0x8A}, {0x5B, 0x6B, 0x7D},
    {0xB8, 0x86, 0x2F}, {0x8B, 0x55, 0x2E}, {0x26, 0x80, 0xC2}, {0x48, 0xA5, 0x9A},
};

// A darker shade of a colour, for edges and shadows.
Rgb Darker(Rgb colour) {
  return {static_cast<std::uint8_t>(colour.r * 2 / 3), static_cast<std::uint8_t>(colour.g * 2 / 3),
          static_cast<std::uint8_t>(colour.b * 2 / 3)};
}

void DrawNotebook(GifImage& image) {
  image.FillRoundRect(52, 14, 60, 72, 4, kShade);
  image.FillRoundRect(50, 12, 60, 72, 4, kWhite);
  image.FillRect(50, 12, 8, 72, kAccent);
  for (int y = 26; y < 80; y += 8) image.FillRect(62, y, 42, 1, kLine);
  image.FillRect(66, 18, 1, 62, kAccent);
  for (int y = 16; y < 84; y += 9) image.FillCircle(54, y + 2, 2, kWhite);
}

void DrawChair(GifImage& image) {
  image.FillRoundRect(58, 10, 44, 40, 8, kAccent);
  image.FillRoundRect(52, 50, 56, 12, 5, kAccent);
  image.FillRect(77, 62, 6, 14, kInk);
  image.FillRect(58, 76, 44, 4, kInk);
  image.FillCircle(59, 84, 4, kInk);
  image.FillCircle(80, 84, 4, kInk);
  image.FillCircle(101, 84, 4, kInk);
  image.FillRect(62, 16, 36, 3, kLight);
}

void DrawMonitor(GifImage& image) {
  image.FillRoundRect(36, 12, 88, 58, 4, kInk);
  image.FillRect(41, 17, 78, 46, kAccent);
  image.FillRect(41, 17, 78, 10, kLight);
  image.FillRect(74, 70, 12, 10, kInk);
  image.FillRoundRect(60, 80, 40, 6, 3, kInk);
}

void DrawMug(GifImage& image) {
  image.FillCircle(100, 50, 15, kAccent);
  image.FillCircle(100, 50, 8, kBack);
  image.FillRoundRect(52, 24, 46, 58, 6, kAccent);
  image.FillRect(56, 30, 6, 44, kLight);
  image.FillRect(60, 8, 4, 10, kShade);
  image.FillRect(72, 4, 4, 14, kShade);
  image.FillRect(84, 8, 4, 10, kShade);
}

void DrawParcel(GifImage& image) {
  image.FillRect(46, 20, 68, 60, kAccent);
  image.FillRect(76, 20, 8, 60, kLight);
  image.FillRect(46, 20, 68, 4, kShade);
}

void DrawPens(GifImage& image) {
  for (int i = 0; i < 3; ++i) {
    const int x = 58 + i * 16;
    image.FillRoundRect(x, 14, 10, 58, 3, i == 1 ? kInk : kAccent);
    image.FillRect(x + 2, 18, 2, 40, kLight);
    image.FillRect(x + 3, 72, 4, 6, kShade);
    image.FillRect(x + 4, 78, 2, 6, kInk);
  }
}

void DrawPaper(GifImage& image) {
  for (int i = 4; i >= 0; --i) {
    image.FillRect(44 + i * 4, 22 + i * 4, 60, 56, kShade);
    image.FillRect(42 + i * 4, 20 + i * 4, 60, 56, kWhite);
  }
  image.FillRect(42, 44, 60, 10, kAccent);
}

void DrawDesk(GifImage& image) {
  image.FillRoundRect(24, 34, 112, 10, 3, kAccent);
  image.FillRect(34, 44, 8, 42, kInk);
  image.FillRect(118, 44, 8, 42, kInk);
  image.FillRect(42, 62, 76, 4, kShade);
  image.FillRect(28, 84, 18, 3, kInk);
  image.FillRect(114, 84, 18, 3, kInk);
  image.FillRect(60, 22, 26, 12, kLight);
}

void DrawCabinet(GifImage& image) {
  image.FillRoundRect(54, 6, 52, 84, 3, kAccent);
  for (int i = 0; i < 4; ++i) {
    const int y = 10 + i * 20;
    image.FillRect(58, y, 44, 17, kLight);
    image.FillRect(72, y + 6, 16, 4, kInk);
  }
}

void DrawKeyboard(GifImage& image) {
  image.FillRoundRect(22, 36, 116, 44, 6, kAccent);
  for (int row = 0; row < 3; ++row) {
    for (int key = 0; key < 10; ++key) image.FillRect(29 + key * 10 + row * 2, 42 + row * 10, 7, 7, kLight);
  }
  image.FillRect(50, 72, 58, 5, kLight);
}

void DrawLamp(GifImage& image) {
  image.FillRoundRect(44, 80, 44, 8, 3, kInk);
  image.FillRect(62, 30, 6, 52, kInk);
  image.FillRect(62, 26, 46, 6, kInk);
  image.FillRoundRect(96, 24, 30, 18, 4, kAccent);
  image.FillCircle(111, 52, 9, kLight);
}

void DrawBeans(GifImage& image) {
  image.FillRoundRect(52, 16, 56, 74, 6, kAccent);
  image.FillRect(52, 16, 56, 10, kShade);
  image.FillRoundRect(64, 40, 32, 34, 10, kLight);
  image.FillCircle(80, 57, 9, kAccent);
  image.FillRect(79, 48, 2, 18, kLight);
}

void DrawJug(GifImage& image) {
  image.FillCircle(100, 50, 17, kAccent);
  image.FillCircle(100, 50, 10, kBack);
  image.FillRoundRect(54, 18, 48, 70, 6, kAccent);
  image.FillRect(46, 18, 14, 8, kAccent);
  image.FillRect(58, 40, 40, 44, kLight);
  image.FillRect(58, 40, 40, 4, kWhite);
}

}  // namespace

std::string ProductPicture(int product_id, const std::string& category, const std::string& code) {
  const Rgb accent = kAccents[static_cast<unsigned>(product_id) % std::size(kAccents)];
  const Rgb light = {static_cast<std::uint8_t>((accent.r + 255 * 2) / 3),
                     static_cast<std::uint8_t>((accent.g + 255 * 2) / 3),
                     static_cast<std::uint8_t>((accent.b + 255 * 2) / 3)};
  GifImage image(160, 120,
                 {{0xF4, 0xF7, 0xFA}, {0xFF, 0xFF, 0xFF}, {0x33, 0x3E, 0x48}, accent,
                  {0xC9, 0xD3, 0xDD}, Darker(light), light});
  image.FillRect(0, 96, 160, 24, kLight);
  if (code == "PENS") {
    DrawPens(image);
  } else if (code == "PAPER") {
    DrawPaper(image);
  } else if (code == "DESK") {
    DrawDesk(image);
  } else if (code == "FILES") {
    DrawCabinet(image);
  } else if (code == "KEYS") {
    DrawKeyboard(image);
  } else if (code == "LAMP") {
    DrawLamp(image);
  } else if (code == "BEANS") {
    DrawBeans(image);
  } else if (code == "JUG") {
    DrawJug(image);
  } else if (category == "Stationery") {
    DrawNotebook(image);
  } else if (category == "Furniture") {
    DrawChair(image);
  } else if (category == "Electronics") {
    DrawMonitor(image);
  } else if (category == "Kitchen") {
    DrawMug(image);
  } else {
    DrawParcel(image);
  }
  const int scale = 2;
  image.DrawText((160 - GifImage::TextWidth(code, scale)) / 2, 101, code, scale, kInk);
  return image.EncodeGif();
}

}  // namespace zarel::demo
