// Writing the demo site's report database: a new SQLite file holding the
// business data, the site tables, the stored procedures, the screens and
// the product pictures.
#ifndef ZAREL_APPS_DEMO_DEMO_DATABASE_H_
#define ZAREL_APPS_DEMO_DEMO_DATABASE_H_

#include <string>
#include <vector>

#include "apps/demo/demo_pictures.h"

namespace zarel::demo {

struct DatabaseSummary {
  int tables = 0;
  long rows = 0;
  // The product pictures, to be copied into the application folder under
  // the names that the catalogue links to.
  std::vector<PictureFile> product_pictures;
};

// Fills the SQLite database at path, which must be a new, empty file, in
// one transaction. A failure raises kDatabaseError with SQLite's message;
// the file may then hold part of the content, so the caller writes to a
// file of its own and discards it on failure.
DatabaseSummary WriteDemoDatabase(const std::string& path);

}  // namespace zarel::demo

#endif  // ZAREL_APPS_DEMO_DEMO_DATABASE_H_
