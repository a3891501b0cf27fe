// Report-like HTML pages written to a folder, for the printing tests and the
// benchmark: each has its own head, a style sheet and a script beside it, a
// picture in a sub-folder, a table, a link to a place after the table and
// one to another page, and scripts that change the page before it finishes
// loading.
#ifndef ZAREL_APPS_PDF_PDF_SAMPLE_PAGES_H_
#define ZAREL_APPS_PDF_PDF_SAMPLE_PAGES_H_

#include <filesystem>
#include <string>

namespace zarel::pdf::samples {

struct SamplePage {
  std::string title;       // also the heading
  std::string cell;        // the text of the table's first name cell
  int rows = 20;           // table rows; about 40 fill an A4 sheet
  std::string link;        // where its one link goes (relative), or nothing
};

// Writes the style sheet, script and picture the pages share (assets/).
void WriteAssets(const std::filesystem::path& folder);

// Writes `page` as folder/file_name and returns that path.
std::filesystem::path WritePage(const std::filesystem::path& folder, const std::string& file_name,
                                 const SamplePage& page);

// A cover sheet: the title large, the time under it.
std::filesystem::path WriteCover(const std::filesystem::path& folder, const std::string& title,
                                  const std::string& time);

// Writes `text` to `file`, making its folder.
void WriteFile(const std::filesystem::path& file, const std::string& text);

}  // namespace zarel::pdf::samples

#endif  // ZAREL_APPS_PDF_PDF_SAMPLE_PAGES_H_
