// Helpers for the PDF tests: temporary folders, running the PDF tools that
// check results independently of the code under test (poppler's pdfinfo,
// pdftotext, pdfimages and pdftoppm, qpdf's JSON), small PDFs made directly, and
// stand-in browsers.
#ifndef ZAREL_APPS_PDF_PDF_TEST_SUPPORT_H_
#define ZAREL_APPS_PDF_PDF_TEST_SUPPORT_H_

#include <filesystem>
#include <string>
#include <vector>

namespace zarel::pdf::testing {

// A new folder, removed with everything in it at the end of the scope.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Runs a program and returns what it wrote to standard output; throws when
// it fails.
std::string RunTool(const std::vector<std::string>& argv);

void WriteBytes(const std::filesystem::path& file, const std::string& bytes);
std::string ReadBytes(const std::filesystem::path& file);

int PageCount(const std::filesystem::path& pdf);
std::string PageText(const std::filesystem::path& pdf, int page);  // pdftotext, one sheet
// The pictures on a sheet (pdfimages -list), as "width x height" in pixels.
std::vector<std::string> pictures(const std::filesystem::path& pdf, int page);
std::string DocumentTitle(const std::filesystem::path& pdf);       // pdfinfo's "Title:"
// Every sheet drawn as a picture by poppler's pdftoppm (40 dots an inch,
// PPM bytes), to compare how two PDFs look sheet by sheet.
std::vector<std::string> SheetPictures(const std::filesystem::path& pdf);

// The outline as qpdf reads it, one entry a line, indented two spaces a
// level: "title -> page" and " (open)" for an entry shown expanded.
std::string OutlineText(const std::filesystem::path& pdf);

// A PDF with one sheet per text, each showing its text; `link`, when given,
// puts a link to that address on the first sheet.
std::string SimplePdf(const std::vector<std::string>& sheet_texts, const std::string& link = {});

// A program that stands in for the browser, speaking the DevTools pipe as
// tests/fake_browser.cpp's `scenario` says; written into `folder`.
std::filesystem::path FakeBrowser(const std::filesystem::path& folder, const std::string& scenario);

}  // namespace zarel::pdf::testing

#endif  // ZAREL_APPS_PDF_PDF_TEST_SUPPORT_H_
