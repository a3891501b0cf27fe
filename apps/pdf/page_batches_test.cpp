// Printing pages together: which files are planned as one print job, that a
// book printed in runs looks sheet for sheet as one printed page by page,
// and that pages which cannot print together print alone.
#include "apps/pdf/page_batches.h"

#include "apps/pdf/pdf_book.h"
#include "apps/pdf/pdf_sample_pages.h"
#include "apps/pdf/pdf_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zarel::pdf {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

// A report-like page. Its head loads a style sheet and a script that marks
// the heading once the page is parsed; its body's own script writes how
// many paragraphs its document has, which would count its neighbours' too if
// pages printed together shared one document while their scripts ran.
struct TestPage {
  std::string title = "Report";  // in the head: pages of one title may print together
  std::string heading = "Page";
  int rows = 5;
  bool wide = false;          // a table wider than the sheet
  bool link_within = false;   // a link to a place in the page itself
  bool sheet_size = false;    // a head that sets the sheet's size
  bool endless = false;       // a script that never ends
};

fs::path Write(const fs::path& folder, const std::string& name, const TestPage& page) {
  std::string html = "<!doctype html>\n<html><head><meta charset=\"utf-8\"><title>" + page.title +
                     "</title>\n<link rel=\"stylesheet\" href=\"assets/report.css\">\n"
                     "<script src=\"assets/report.js\"></script>" +
                     (page.sheet_size ? "<style>@page { size: A5; }</style>" : "") + "</head>\n<body>\n" +
                     "<h1 id=\"heading\">" + page.heading + "</h1>\n<img src=\"assets/picture.png\" alt=\"\">\n" +
                     "<p>First paragraph</p><p id=\"count\"></p>\n" +
                     (page.link_within ? "<p><a href=\"#count\">To the count</a></p>\n" : "") +
                     "<table" + (page.wide ? " style=\"width:30in\"" : "") + "><tbody>\n";
  for (int row = 1; row <= page.rows; ++row)
    html += "<tr><td>" + std::to_string(row) + "</td><td>" + page.heading + " row " + std::to_string(row) + "</td></tr>\n";
  html += "</tbody></table>\n<script>document.getElementById('count').textContent = "
          "document.querySelectorAll('p').length + ' paragraphs in this page';</script>\n";
  if (page.endless) html += "<script>for (;;) {}</script>\n";
  html += "</body></html>\n";
  samples::WriteFile(folder / name, html);
  return folder / name;
}

std::vector<std::pair<std::size_t, std::size_t>> Ranges(const std::vector<PageRun>& runs) {
  std::vector<std::pair<std::size_t, std::size_t>> out;
  for (const auto& run : runs) out.emplace_back(run.first, run.end);
  return out;
}

TEST(PageBatches, RunsJoinNeighboursOfOneFolderHeadAndBodyTag) {
  TempFolder folder;
  const fs::path& here = folder.path();
  const auto a = Write(here, "a.html", {});
  const auto b = Write(here, "b.html", {.heading = "B"});
  const auto other_title = Write(here, "c.html", {.title = "Other"});
  const auto sheet_size = Write(here, "d.html", {.sheet_size = true});
  const auto elsewhere = Write(here / "sub", "e.html", {});
  const auto big = Write(here, "big.html", {.rows = 3000});
  samples::WriteFile(here / "nobody.html", "<!doctype html><p>no body tag</p>");
  samples::WriteFile(here / "upper.html", "<!DOCTYPE html><HTML><HEAD></HEAD><BODY>upper</BODY></HTML>");
  samples::WriteFile(here / "upper2.html", "<!DOCTYPE html><HTML><HEAD></HEAD><BODY>case</BODY></HTML>");
  const auto missing = here / "missing.html";
  BatchOptions options;
  options.max_bytes = 64 * 1024;
  struct Case {
    std::string what;
    std::vector<fs::path> files;
    std::size_t max_pages;
    std::vector<std::pair<std::size_t, std::size_t>> runs;
  };
  for (const Case& test : std::vector<Case>{
           {"one head", {a, b, a, b}, 24, {{0, 4}}},
           {"at most max_pages", {a, b, a, b, a}, 2, {{0, 2}, {2, 4}, {4, 5}}},
           {"one a run", {a, b}, 1, {{0, 1}, {1, 2}}},
           {"another head splits", {a, other_title, b}, 24, {{0, 1}, {1, 2}, {2, 3}}},
           {"a sheet size of its own", {a, sheet_size, sheet_size, b}, 24, {{0, 1}, {1, 2}, {2, 3}, {3, 4}}},
           {"another folder", {a, elsewhere, b}, 24, {{0, 1}, {1, 2}, {2, 3}}},
           {"beyond max_bytes", {a, big, b}, 24, {{0, 1}, {1, 2}, {2, 3}}},
           {"no body tag", {a, here / "nobody.html", b}, 24, {{0, 1}, {1, 2}, {2, 3}}},
           {"a missing file", {a, missing, b}, 24, {{0, 1}, {1, 2}, {2, 3}}},
           {"tags in capitals", {here / "upper.html", here / "upper2.html"}, 24, {{0, 2}}},
           {"nothing", {}, 24, {}},
       }) {
    options.max_pages = test.max_pages;
    EXPECT_EQ(Ranges(PlanRuns(test.files, options)), test.runs) << test.what;
  }
}

// The book of `printed`: every page a part, in order.
std::string BookOf(const PrintedPages& printed) {
  Book book;
  book.documents = printed.documents;
  for (const auto& place : printed.pages) {
    EXPECT_EQ(place.error, "");
    book.parts.push_back({place.document, place.first_sheet, {}});
  }
  return MakeBook(book);
}

TEST(PageBatches, PagesPrintedTogetherLookAsWhenPrintedAlone) {
  TempFolder folder;
  const fs::path& here = folder.path();
  samples::WriteAssets(here);
  const std::vector<fs::path> files{
      Write(here, "one.html", {.heading = "One"}),
      Write(here, "long.html", {.heading = "Long", .rows = 90}),
      Write(here, "wide.html", {.heading = "Wide", .wide = true}),
      Write(here, "three.html", {.heading = "Three"}),
      Write(here, "within.html", {.heading = "Within", .link_within = true}),
      Write(here, "four.html", {.heading = "Four"}),
      Write(here, "five.html", {.heading = "Five"}),
  };
  PrintOptions print;
  print.only_files_in = here;
  PdfPrinter printer(print);
  std::vector<std::size_t> heard;
  const PrintedPages together = PrintPages(printer, files, {}, [&](std::size_t done, std::size_t total) {
    EXPECT_EQ(total, files.size());
    heard.push_back(done);
  });
  BatchOptions one_by_one;
  one_by_one.max_pages = 1;
  const PrintedPages alone = PrintPages(printer, files, one_by_one);

  // The wide page and the one linking within itself print alone; the pages
  // between them print together.
  ASSERT_EQ(together.documents.size(), 5u);
  const std::vector<std::pair<std::size_t, std::size_t>> expected{{0, 0}, {0, 1}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {4, 1}};
  std::vector<std::pair<std::size_t, std::size_t>> places;
  for (const auto& place : together.pages) places.emplace_back(place.document, place.first_sheet);
  EXPECT_EQ(places, expected);
  ASSERT_EQ(alone.documents.size(), files.size());
  ASSERT_FALSE(heard.empty());
  EXPECT_EQ(heard.back(), files.size());

  const auto together_pdf = here / "together.pdf";
  const auto alone_pdf = here / "alone.pdf";
  testing::WriteBytes(together_pdf, BookOf(together));
  testing::WriteBytes(alone_pdf, BookOf(alone));
  const auto together_sheets = testing::SheetPictures(together_pdf);
  const auto alone_sheets = testing::SheetPictures(alone_pdf);
  ASSERT_GE(alone_sheets.size(), files.size() + 1);
  ASSERT_EQ(together_sheets.size(), alone_sheets.size());
  for (std::size_t sheet = 0; sheet < alone_sheets.size(); ++sheet)
    EXPECT_TRUE(together_sheets[sheet] == alone_sheets[sheet]) << "sheet " << sheet + 1 << " differs";
  // Each page's script counted only its own paragraphs, and the head's
  // script marked its own heading.
  const std::string first = testing::PageText(together_pdf, 1);
  EXPECT_NE(first.find("One (ready)"), std::string::npos) << first;
  EXPECT_NE(first.find("2 paragraphs in this page"), std::string::npos) << first;
  // Nothing of the runs' own documents is left beside the pages.
  for (const auto& entry : fs::directory_iterator(here))
    EXPECT_EQ(entry.path().filename().string().rfind(".zarel-print-", 0), std::string::npos) << entry.path();
}

TEST(PageBatches, ARunThatFailsPrintsItsPagesAloneAndOnlyTheBadOneFails) {
  TempFolder folder;
  const fs::path& here = folder.path();
  samples::WriteAssets(here);
  const std::vector<fs::path> files{
      Write(here, "one.html", {.heading = "One"}),
      Write(here, "endless.html", {.heading = "Endless", .endless = true}),
      Write(here, "two.html", {.heading = "Two"}),
      here / "missing.html",
      Write(here, "three.html", {.heading = "Three"}),
  };
  PrintOptions print;
  print.only_files_in = here;
  print.page_timeout = std::chrono::seconds(5);
  PdfPrinter printer(print);
  const PrintedPages printed = PrintPages(printer, files, {});
  ASSERT_EQ(printed.pages.size(), files.size());
  EXPECT_EQ(printed.pages[0].error, "");
  EXPECT_NE(printed.pages[1].error.find("did not load and print within 5 s"), std::string::npos)
      << printed.pages[1].error;
  EXPECT_EQ(printed.pages[2].error, "");
  EXPECT_NE(printed.pages[3].error.find("there is no such file"), std::string::npos) << printed.pages[3].error;
  EXPECT_EQ(printed.pages[4].error, "");
  EXPECT_EQ(printed.documents.size(), 3u);
}

}  // namespace
}  // namespace zarel::pdf
