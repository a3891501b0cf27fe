// The pictures of the demo site, drawn as GIF files: the images the report
// pages refer to (circle.gif, cbg.gif, cbr.gif, plus.gif, and minus.gif for
// an opened shape level) and one picture per product.
#ifndef ZAREL_APPS_DEMO_DEMO_PICTURES_H_
#define ZAREL_APPS_DEMO_DEMO_PICTURES_H_

#include <string>
#include <vector>

namespace zarel::demo {

struct PictureFile {
  std::string name;   // file name in the application folder
  std::string bytes;  // the GIF file
};

// circle.gif (section bullet), cbg.gif and cbr.gif (bars of values from 0
// up and below 0), plus.gif and minus.gif (shape report expanders).
std::vector<PictureFile> PageImages();

// A 160 x 120 picture of a product: a drawing of the product for the demo's
// own codes, otherwise of its category ("Stationery", "Furniture",
// "Electronics", "Kitchen"; anything else gets a parcel), in a colour chosen
// by its number, with its code written underneath.
std::string ProductPicture(int product_id, const std::string& category, const std::string& code);

}  // namespace zarel::demo

#endif  // ZAREL_APPS_DEMO_DEMO_PICTURES_H_
