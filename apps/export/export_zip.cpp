// An export as one zip file (see export_zip.h).
#include "apps/export/export_zip.h"

#include <zip.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "apps/export/site_export.h"

namespace zarel::site_export {

namespace fs = std::filesystem;

namespace {

// An archive being written; discarded (nothing written) unless closed.
struct ZipDiscard {
  void operator()(zip_t* archive) const {
    if (archive != nullptr) zip_discard(archive);
  }
};
using ZipHandle = std::unique_ptr<zip_t, ZipDiscard>;

std::string ErrorText(zip_error_t* error) { return zip_error_strerror(error); }

}  // namespace

std::optional<std::string> ZipFolder(const fs::path& folder, const fs::path& zip) {
  // The files first, in name order, so that one folder always gives the
  // same zip.
  std::vector<std::string> names;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (!it->is_regular_file(error) || it->is_symlink(error)) continue;
    const std::string name = it->path().lexically_relative(folder).generic_string();
    if (name != kExportMark) names.push_back(name);
  }
  if (error) return "cannot read the export folder: " + error.message();
  std::sort(names.begin(), names.end());

  int open_error = 0;
  ZipHandle archive(zip_open(zip.c_str(), ZIP_CREATE | ZIP_EXCL, &open_error));
  if (!archive) {
    zip_error_t reason;
    zip_error_init_with_code(&reason, open_error);
    std::string text = "cannot make the zip file: " + ErrorText(&reason);
    zip_error_fini(&reason);
    return text;
  }
  for (const std::string& name : names) {
    // The file is read when the archive is closed, not here.
    zip_source_t* source = zip_source_file(archive.get(), (folder / name).c_str(), 0, -1);
    if (source == nullptr || zip_file_add(archive.get(), name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
      if (source != nullptr) zip_source_free(source);
      return "cannot add " + name + " to the zip file: " + ErrorText(zip_get_error(archive.get()));
    }
  }
  if (zip_close(archive.get()) != 0) {
    return "cannot write the zip file: " + ErrorText(zip_get_error(archive.get()));
  }
  archive.release();  // closed: zip_close freed it
  return std::nullopt;
}

}  // namespace zarel::site_export
