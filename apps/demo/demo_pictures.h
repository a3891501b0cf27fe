// The product pictures of the demo site, drawn as GIF files. The images the
// report pages refer to come from apps/sitekit (site_pictures.h).
#ifndef ZAREL_APPS_DEMO_DEMO_PICTURES_H_
#define ZAREL_APPS_DEMO_DEMO_PICTURES_H_

#include <string>
#include <vector>

#include "apps/sitekit/site_pictures.h"

namespace zarel::demo {

using sitekit::PictureFile;

// A 160 x 120 picture of a product: a drawing of the product for the demo's
// own codes, otherwise of its category ("Stationery", "Furniture",
// "Electronics", "Kitchen"; anything else gets a parcel), in a colour chosen
// by its number, with its code written underneath.
std::string ProductPicture(int product_id, const std::string& category, const std::string& code);

}  // namespace zarel::demo

#endif  // ZAREL_APPS_DEMO_DEMO_PICTURES_H_
