// The pictures that report pages name, drawn as GIF files, for the programs
// that create sites (zarel demo, zarel new): circle.gif (the bullet of every
// section heading), cbg.gif and cbr.gif (the level bars of values from 0 up
// and below 0), plus.gif and minus.gif (the shape report's expanders).
#ifndef ZAREL_APPS_SITEKIT_SITE_PICTURES_H_
#define ZAREL_APPS_SITEKIT_SITE_PICTURES_H_

#include <string>
#include <vector>

namespace zarel::sitekit {

struct PictureFile {
  std::string name;   // file name in the application folder
  std::string bytes;  // the GIF file
};

// The five pictures, in the order above.
std::vector<PictureFile> PageImages();

}  // namespace zarel::sitekit

#endif  // ZAREL_APPS_SITEKIT_SITE_PICTURES_H_
