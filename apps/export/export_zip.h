// An export as one zip file: every file of the export's folder (index.html,
// its style sheets and script, pages/...), named by its path inside the
// folder with "/" between the parts, compressed with deflate. The mark that
// tells an export folder (.zarel-export) stays out: it means something only
// to a folder that zarel export may replace.
//
// Written by libzip, which writes the archive under a temporary name beside
// ZIP and renames it into place when it is whole: a failure leaves no
// half-written zip.
//
// Threads: a function of its arguments; any thread.
#ifndef ZAREL_APPS_EXPORT_EXPORT_ZIP_H_
#define ZAREL_APPS_EXPORT_EXPORT_ZIP_H_

#include <filesystem>
#include <optional>
#include <string>

namespace zarel::site_export {

// Writes the folder's files into the zip file `zip` (which must not exist);
// the reason when it could not. Symbolic links and other special files are
// left out, so nothing outside the folder gets in.
std::optional<std::string> ZipFolder(const std::filesystem::path& folder, const std::filesystem::path& zip);

}  // namespace zarel::site_export

#endif  // ZAREL_APPS_EXPORT_EXPORT_ZIP_H_
