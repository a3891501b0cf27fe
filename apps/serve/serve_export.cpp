// The web host's Export (see serve_export.h).
#include "apps/serve/serve_export.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>

#include "apps/export/page_names.h"
#include "apps/export/export_zip.h"
#include "apps/export/site_export.h"
#include "zarel/base/error.h"
#include "zarel/db/connection_string.h"
#include "zarel/db/sqlite_snapshot.h"

namespace zarel::serve {

ExportGate::ExportGate(const ServeOptions& options)
    : bound_(std::min(options.limits.max_exports, std::max(0, options.threads - 1))) {}

bool ExportGate::Enter() {
  int running = running_.load();
  while (running < bound_) {
    if (running_.compare_exchange_weak(running, running + 1)) return true;
  }
  return false;
}

void ExportGate::Leave() { running_.fetch_sub(1); }

SiteZip ExportSiteZip(const ServeOptions& options, const std::string& work_folder, const std::string& exported_at) {
  SiteZip zip;
  std::string folder = work_folder + "/export-XXXXXX";
  if (::mkdtemp(folder.data()) == nullptr) {
    zip.error = "cannot make a folder for the export in " + work_folder + ": " + std::strerror(errno);
    return zip;
  }
  zip.folder = std::make_unique<FolderRemover>(folder);

  site_export::ExportOptions export_options;
  export_options.connection = options.connection;
  // The site folder itself, not the session's copy of it: the two hold the
  // same files, and the session may be writing its copy meanwhile.
  export_options.site_folder = options.site;
  export_options.out = folder + "/site";
  export_options.display = options.display;
  export_options.max_nodes = options.limits.export_max_nodes;
  export_options.exported_at = exported_at;
  site_export::ExportResult result;
  try {
    // The crawl keeps nothing in the database: it runs in a transaction it
    // rolls back. On SQLite that transaction would hold the database's one
    // write lock from the first page that writes until the export ends, and
    // every other user's writing page would wait for it and fail. So a SQLite
    // site is exported from a copy of its last committed state, taken
    // beside the export and removed with it.
    if (BackendOfConnectionString(options.connection) == Backend::kSQLite) {
      const std::string copy = folder + "/database.db";
      LinkLimits limits;
      limits.lock_wait = std::chrono::milliseconds(static_cast<long long>(options.database.lock_timeout * 1000));
      try {
        CopySQLiteDatabase(SQLitePathOf(options.connection), copy, limits);
      } catch (...) {
        zip.error = "cannot open the report database: " + CurrentError().Description();
        return zip;
      }
      export_options.connection = "sqlite:" + copy;
    }
    result = site_export::ExportSite(export_options, nullptr);
  } catch (...) {
    // The crawl raises only for a display setting the control refuses; the
    // session, set up with the same settings, took them.
    result.failure = CurrentError().Description();
  }
  if (result.failure) {
    zip.error = *result.failure;
    return zip;
  }
  const std::string title = result.nodes.empty() ? std::string() : result.nodes.front().text;
  const std::string slug = site_export::PathSlug(title);
  zip.name = (slug.empty() ? std::string("site") : slug) + ".zip";
  zip.file = folder + "/" + zip.name;
  zip.pages = result.pages;
  zip.failed = result.failed.size();
  zip.left_unopened = result.left_unopened;
  if (std::optional<std::string> failure = site_export::ZipFolder(export_options.out, zip.file)) {
    zip.error = *failure;
  }
  return zip;
}

}  // namespace zarel::serve
