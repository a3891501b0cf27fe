// zarel export --pdf: the exported pages in tree order as one PDF, printed
// by headless Chromium (apps/pdf), each page from a new sheet, after a cover
// with the site's title and the time of the export, with bookmarks that
// follow the tree (a node without a page opens where its first descendant
// with one does).
//
// Functions only; nothing shared.
#ifndef ZAREL_APPS_EXPORT_EXPORT_BOOK_H_
#define ZAREL_APPS_EXPORT_EXPORT_BOOK_H_

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "apps/export/site_export.h"
#include "apps/pdf/page_batches.h"
#include "apps/pdf/pdf_printer.h"

namespace zarel::site_export {

struct BookResult {
  std::optional<std::string> failure;  // nothing was written
  std::size_t printed = 0;             // pages printed (the cover not counted)
  // "path: reason" for each page that could not be printed (left out).
  std::vector<std::string> unprinted;
  // Where the printer's time went (the cover included).
  pdf::PrintTimes times;
};

// The cover page's HTML.
std::string CoverHtml(const std::string& title, const std::string& exported_at, std::size_t pages);

// Prints the export in OUT (as ExportSite wrote it) into `file`, up to
// `pages_together` pages as one print job (1: each page on its own; see
// apps/pdf/page_batches.h). `progress` hears how many pages are printed of
// how many.
BookResult PrintBook(const ExportResult& exported, const std::filesystem::path& out,
                     const std::filesystem::path& file, const std::string& exported_at,
                     const pdf::PrintOptions& print_options, std::size_t pages_together,
                     const std::function<void(std::size_t done, std::size_t total)>& progress);

}  // namespace zarel::site_export

#endif  // ZAREL_APPS_EXPORT_EXPORT_BOOK_H_
