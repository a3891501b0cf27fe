// The pictures that report pages name (see site_pictures.h).
#include "apps/sitekit/site_pictures.h"

#include "apps/sitekit/gif_image.h"

namespace zarel::sitekit {

namespace {

std::vector<Rgb> TwoColours(Rgb back, Rgb fore) { return {back, fore}; }

}  // namespace

std::vector<PictureFile> PageImages() {
  std::vector<PictureFile> files;
  {
    // A blue bullet with a light centre, on a transparent ground.
    GifImage circle(12, 12, {{255, 255, 255}, {0x2C, 0x6E, 0x9B}, {0x9F, 0xC5, 0xE0}});
    circle.FillCircle(6, 6, 5.6, 1);
    circle.FillCircle(6, 6, 2.2, 2);
    files.push_back({"circle.gif", circle.EncodeGif(0)});
  }
  {
    // Bars are stretched to any size, so they are single flat colours.
    GifImage green(4, 4, TwoColours({0x3C, 0x9D, 0x5D}, {0, 0, 0}));
    files.push_back({"cbg.gif", green.EncodeGif()});
    GifImage red(4, 4, TwoColours({0xD6, 0x45, 0x45}, {0, 0, 0}));
    files.push_back({"cbr.gif", red.EncodeGif()});
  }
  for (const bool plus : {true, false}) {
    // A framed square with a plus or a minus sign.
    GifImage sign(11, 11, {{255, 255, 255}, {0x7B, 0x87, 0x94}, {0x17, 0x32, 0x4D}});
    sign.FillRect(0, 0, 11, 1, 1);
    sign.FillRect(0, 10, 11, 1, 1);
    sign.FillRect(0, 0, 1, 11, 1);
    sign.FillRect(10, 0, 1, 11, 1);
    sign.FillRect(3, 5, 5, 1, 2);
    if (plus) sign.FillRect(5, 3, 1, 5, 2);
    files.push_back({plus ? "plus.gif" : "minus.gif", sign.EncodeGif()});
  }
  return files;
}

}  // namespace zarel::sitekit
