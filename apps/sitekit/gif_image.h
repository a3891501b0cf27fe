// GifImage: a small palette raster and its GIF89a encoding, with which the
// programs that create sites (zarel demo, zarel new) draw the page images
// (bullets, bars, expanders) and the demo's product pictures without
// reading any file.
//
// A raster holds one palette index per pixel. Drawing clips to the raster,
// so shapes may lie partly outside it. EncodeGif writes one image with a
// global colour table (the palette padded to a power of two) and, when a
// transparent index is given, a graphic control extension naming it; the
// pixels are compressed with GIF's variable-length LZW.
#ifndef ZAREL_APPS_SITEKIT_GIF_IMAGE_H_
#define ZAREL_APPS_SITEKIT_GIF_IMAGE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zarel {

struct Rgb {
  std::uint8_t r, g, b;
};

class GifImage {
 public:
  // A width x height raster (each 1..65535) over palette (1..256 colours),
  // every pixel set to background. A bad size or palette raises 5.
  GifImage(int width, int height, std::vector<Rgb> palette, std::uint8_t background = 0);

  int Width() const { return width_; }
  int Height() const { return height_; }
  std::uint8_t Pixel(int x, int y) const;
  void SetPixel(int x, int y, std::uint8_t colour);

  // Fills the rectangle with its top-left corner at (x, y).
  void FillRect(int x, int y, int width, int height, std::uint8_t colour);
  // Fills the disc of the given centre and radius (pixel centres inside).
  void FillCircle(double cx, double cy, double radius, std::uint8_t colour);
  // Fills a rectangle whose corners are rounded with the given radius.
  void FillRoundRect(int x, int y, int width, int height, int radius, std::uint8_t colour);
  // Writes text in a 5 x 7 pixel font scaled by scale, top-left at (x, y);
  // letters, digits, blank, '-', '&' and '.'; other characters as blanks.
  void DrawText(int x, int y, const std::string& text, int scale, std::uint8_t colour);
  // The width DrawText gives text at scale.
  static int TextWidth(const std::string& text, int scale);

  // The GIF89a file of the raster; transparent names the palette index
  // that browsers show as transparent.
  std::string EncodeGif(std::optional<std::uint8_t> transparent = std::nullopt) const;

 private:
  int width_;
  int height_;
  std::vector<Rgb> palette_;
  std::vector<std::uint8_t> pixels_;
};

}  // namespace zarel

#endif  // ZAREL_APPS_SITEKIT_GIF_IMAGE_H_
