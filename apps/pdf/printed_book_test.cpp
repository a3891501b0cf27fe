// Pages printed by the browser and joined into a book, checked as a reader
// would meet them: sheets, text on its sheet, bookmarks, and links.
#include "apps/pdf/pdf_book.h"
#include "apps/pdf/pdf_printer.h"

#include "apps/pdf/pdf_sample_pages.h"
#include "apps/pdf/pdf_test_support.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <cstdlib>
#include <set>

namespace zarel::pdf {
namespace {

using testing::TempFolder;
namespace fs = std::filesystem;

// For each sheet, the sheets (numbered from 1) its links go to; 0 stands for
// a link that leaves the book.
std::vector<std::set<int>> LinkTargets(const fs::path& file) {
  QPDF pdf;
  pdf.processFile(file.c_str());
  auto pages = QPDFPageDocumentHelper(pdf).getAllPages();
  std::map<QPDFObjGen, int> number;
  for (std::size_t i = 0; i < pages.size(); ++i) number[pages[i].getObjectHandle().getObjGen()] = static_cast<int>(i) + 1;
  std::vector<std::set<int>> targets(pages.size());
  for (std::size_t i = 0; i < pages.size(); ++i) {
    for (auto annotation : pages[i].getAnnotations("/Link")) {
      auto dest = annotation.getObjectHandle().getKey("/Dest");
      targets[i].insert(dest.isArray() ? number[dest.getArrayItem(0).getObjGen()] : 0);
    }
  }
  return targets;
}

TEST(PrintedBook, KeepsTextBookmarksAndLinksOfThePrintedPages) {
  TempFolder folder;
  const auto& here = folder.path();
  samples::WriteAssets(here);
  const std::vector<fs::path> files{
      samples::WriteCover(here, "Café » report", "2024-05-01 12:00"),
      samples::WritePage(here, "café.html", {"Café", "Espresso 2.50", 5, "sub.html"}),
      samples::WritePage(here, "arrow.html", {"»", "Long table", 70, "caf%C3%A9.html"}),
      samples::WritePage(here, "sub.html", {"Sub page", "Sub cell", 5, "https://example.org/"}),
  };
  PdfPrinter printer;
  auto printed = printer.PrintAll(files);
  std::vector<int> sheets;
  for (std::size_t i = 0; i < printed.size(); ++i) {
    ASSERT_EQ(printed[i].error, "");
    testing::WriteBytes(here / "part.pdf", printed[i].pdf);
    sheets.push_back(testing::PageCount(here / "part.pdf"));
  }
  ASSERT_EQ(sheets[0], 1);
  ASSERT_GE(sheets[2], 2);

  Book book;
  book.title = "Café » report";
  book.cover = printed[0].pdf;
  for (std::size_t i = 1; i < printed.size(); ++i) AddPart(book, printed[i].pdf, fs::canonical(files[i]));
  book.outline = {{"Café", 0, {{"»", 1, {{"Sub page", 2, {}, false}}, false}}, true}};
  const auto out = here / "book.pdf";
  WriteBook(book, out);
  // To look at the book: ZAREL_PDF_KEEP=folder keeps a copy there.
  if (const char* keep = std::getenv("ZAREL_PDF_KEEP"))
    fs::copy_file(out, fs::path(keep) / "printed-book.pdf", fs::copy_options::overwrite_existing);

  const int cafe = 2;
  const int arrow = cafe + sheets[1];
  const int arrow_last = arrow + sheets[2] - 1;
  const int sub = arrow_last + 1;
  ASSERT_EQ(testing::PageCount(out), sub + sheets[3] - 1);
  EXPECT_EQ(testing::OutlineText(out), "Café -> 2 (open)\n  » -> " + std::to_string(arrow) +
                                            "\n    Sub page -> " + std::to_string(sub) + "\n");
  const auto cover = testing::PageText(out, 1);
  EXPECT_NE(cover.find("Café » report"), std::string::npos) << cover;
  EXPECT_NE(cover.find("Exported 2024-05-01 12:00"), std::string::npos) << cover;
  for (int page = 1; page <= sub; ++page)
    EXPECT_EQ(testing::PageText(out, page).find("Espresso 2.50") != std::string::npos, page == cafe) << page;
  EXPECT_NE(testing::PageText(out, arrow_last).find("Item 70"), std::string::npos);
  EXPECT_EQ(testing::pictures(out, arrow), std::vector<std::string>{"24x12"});

  const auto targets = LinkTargets(out);
  // Café: its totals below, and the sub page.
  EXPECT_EQ(targets[cafe - 1], (std::set<int>{cafe, sub}));
  // The long page: the totals on its last sheet; from there back to Café.
  EXPECT_EQ(targets[arrow - 1], (std::set<int>{arrow_last}));
  EXPECT_EQ(targets[arrow_last - 1], (std::set<int>{cafe}));
  // The sub page: its totals, and a link out of the book.
  EXPECT_EQ(targets[sub - 1], (std::set<int>{sub, 0}));
}

}  // namespace
}  // namespace zarel::pdf
