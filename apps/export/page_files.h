// The files a composed page uses: the pictures, style sheets, scripts and
// documents its attributes (src, href, background) and style rules (url())
// name by a relative address, so that the export can carry them beside the
// page.
//
// Security: a page is the site's content, but the names it gives are read
// as untrusted: only relative names that stay inside the folder are kept
// (no absolute path, no "..", no scheme), and a file is copied only when it
// is a regular file whose real path (links resolved) lies inside the folder
// it is read from.
//
// Functions only; nothing shared.
#ifndef ZAREL_APPS_EXPORT_PAGE_FILES_H_
#define ZAREL_APPS_EXPORT_PAGE_FILES_H_

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarel::site_export {

// The relative file names in a page's HTML, in order of first appearance,
// each once: query and fragment left out, percent-encoding undone, "."
// levels removed. Addresses with a scheme ("https:", "mailto:",
// "javascript:"), absolute paths, in-page links ("#top") and names that
// would climb out of the folder ("../x") are left out.
struct PageReferences {
  // The values of src, href and background attributes and url( ): files
  // the page needs (one that is missing is a broken picture or link).
  std::vector<std::string> named;
  // Other quoted words that read as file names with an extension ('minus.gif' in a script that
  // swaps pictures): carried when such a file exists, ignored otherwise.
  std::vector<std::string> quoted;
};
PageReferences RelativeReferences(std::string_view html);

// The regular file `name` inside one of the folders, first match, or none.
std::optional<std::filesystem::path> FindInside(const std::vector<std::filesystem::path>& folders,
                                                const std::string& name);

}  // namespace zarel::site_export

#endif  // ZAREL_APPS_EXPORT_PAGE_FILES_H_
