// Joining PDFs into a book: sheets in order after the cover, the outline as
// qpdf reads it, links between parts, and what happens with bad parts.
#include "apps/pdf/pdf_book.h"

#include "apps/pdf/pdf_test_support.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

namespace zarel::pdf {
namespace {

using testing::TempFolder;
using testing::SimplePdf;
namespace fs = std::filesystem;

std::string BookFailure(const Book& book) {
  try {
    MakeBook(book);
  } catch (const BookError& failed) {
    return failed.what();
  }
  return "no error";
}

Book SampleBook() {
  Book book;
  book.title = "Café » report";
  book.cover = SimplePdf({"Cover"});
  for (const auto& sheets : std::vector<std::vector<std::string>>{{"A1"}, {"B1", "B2"}, {"C1"}, {"D1"}})
    AddPart(book, SimplePdf(sheets));
  book.outline = {
      {"Café", 0, {{"»", 1, {{"日本語", 2, {}, false}}, false}, {"Fourth", 3, {}, false}}, true},
      {"Group without a page", std::nullopt, {{"D again", 3, {}, false}}, false},
  };
  return book;
}

TEST(PdfBook, PutsTheCoverFirstAndEachPartOnItsOwnSheets) {
  TempFolder folder;
  const auto pdf = folder.path() / "book.pdf";
  WriteBook(SampleBook(), pdf);

  ASSERT_EQ(testing::PageCount(pdf), 6);
  const std::vector<std::string> expected{"Cover", "A1", "B1", "B2", "C1", "D1"};
  for (int page = 1; page <= 6; ++page)
    EXPECT_EQ(testing::PageText(pdf, page), expected[static_cast<std::size_t>(page - 1)] + "\n\n\f") << page;
  EXPECT_EQ(testing::DocumentTitle(pdf), "Café » report");
}

TEST(PdfBook, TheOutlineFollowsTheTree) {
  TempFolder folder;
  const auto pdf = folder.path() / "book.pdf";
  WriteBook(SampleBook(), pdf);
  EXPECT_EQ(testing::OutlineText(pdf),
            "Café -> 2 (open)\n"
            "  » -> 3\n"
            "    日本語 -> 5\n"
            "  Fourth -> 6\n"
            "Group without a page -> 6\n"
            "  D again -> 6\n");
}

// The counts a viewer relies on to show the outline: an open item counts
// the items shown below it, a closed one (negated) those opening it would show.
TEST(PdfBook, OutlineCountsSayWhatAViewerShows) {
  Book book = SampleBook();
  book.outline[0].children[0].expanded = true;
  const std::string bytes = MakeBook(book);
  QPDF pdf;
  pdf.processMemoryFile("book", bytes.data(), bytes.size());
  auto outlines = pdf.getRoot().getKey("/Outlines");
  auto cafe = outlines.getKey("/First");
  auto arrow = cafe.getKey("/First");
  auto japanese = arrow.getKey("/First");
  auto fourth = cafe.getKey("/Last");
  auto group = outlines.getKey("/Last");
  struct Case {
    std::string what;
    QPDFObjectHandle item;
    long long count;  // 0: no /Count at all
  };
  for (auto [what, item, count] : std::vector<Case>{{"outline", outlines, 5},
                                                    {"Café", cafe, 3},
                                                    {"»", arrow, 1},
                                                    {"日本語", japanese, 0},
                                                    {"Fourth", fourth, 0},
                                                    {"group", group, -1}}) {
    if (count == 0) EXPECT_FALSE(item.hasKey("/Count")) << what;
    else EXPECT_EQ(item.getKey("/Count").getIntValue(), count) << what;
  }
  EXPECT_TRUE(arrow.getKey("/Next").isSameObjectAs(fourth));
  EXPECT_TRUE(fourth.getKey("/Prev").isSameObjectAs(arrow));
  EXPECT_TRUE(fourth.getKey("/Parent").isSameObjectAs(cafe));
  EXPECT_TRUE(group.getKey("/Prev").isSameObjectAs(cafe));
  EXPECT_FALSE(group.hasKey("/Next"));
  EXPECT_EQ(pdf.getRoot().getKey("/PageMode").getName(), "/UseOutlines");
}

TEST(PdfBook, LinksToAPrintedPageOpenItsSheetInTheBook) {
  Book book;
  AddPart(book, SimplePdf({"A1"}, "file:///site/b%20%C3%A9.html#top"), "/site/a.html");
  AddPart(book, SimplePdf({"B1"}, "https://example.org/b.html"), "/site/b é.html");
  AddPart(book, SimplePdf({"C1", "C2"}, "file:///site/./c.html"), "/site/c.html");
  const std::string bytes = MakeBook(book);
  QPDF pdf;
  pdf.processMemoryFile("book", bytes.data(), bytes.size());
  auto pages = QPDFPageDocumentHelper(pdf).getAllPages();
  ASSERT_EQ(pages.size(), 4u);
  const auto link = [&](std::size_t page) { return pages[page].getObjectHandle().getKey("/Annots").getArrayItem(0); };
  // a.html links to "b é.html#top", which has no such place: the second sheet.
  EXPECT_FALSE(link(0).hasKey("/A"));
  EXPECT_TRUE(link(0).getKey("/Dest").getArrayItem(0).isSameObjectAs(pages[1].getObjectHandle()));
  // A link elsewhere stays as it was.
  EXPECT_EQ(link(1).getKey("/A").getKey("/URI").getUTF8Value(), "https://example.org/b.html");
  // c.html links to itself: its own first sheet.
  EXPECT_TRUE(link(2).getKey("/Dest").getArrayItem(0).isSameObjectAs(pages[2].getObjectHandle()));
}

TEST(PdfBook, BadInputIsRefusedAndAnEarlierFileIsKept) {
  TempFolder folder;
  const auto pdf = folder.path() / "book.pdf";
  testing::WriteBytes(pdf, "earlier");
  struct Case {
    std::string what;
    Book book;
    std::string error;
  };
  Book bad_part = SampleBook();
  bad_part.documents[1] = "%PDF-1.4 not really";
  Book bad_cover = SampleBook();
  bad_cover.cover = "<html>";
  Book beyond = SampleBook();
  beyond.outline[0].children[1].part = 4;
  Book nothing;
  Book empty_part = SampleBook();
  empty_part.documents[2] = "";
  Book unknown_document = SampleBook();
  unknown_document.parts[3].document = 7;
  Book beyond_document = SampleBook();
  beyond_document.parts[1].first_sheet = 2;
  Book out_of_order = SampleBook();
  std::swap(out_of_order.parts[1], out_of_order.parts[2]);
  Book unused_document = SampleBook();
  unused_document.parts.pop_back();
  Book sheet_of_no_part = SampleBook();
  sheet_of_no_part.parts[1].first_sheet = 1;
  for (const auto& test : std::vector<Case>{
           {"bad part", bad_part, "printed document 2 is not a readable PDF: "},
           {"bad cover", bad_cover, "the cover is not a readable PDF: "},
           {"outline beyond the parts", beyond, "the outline entry \"Fourth\" points at part 5 of 4"},
           {"nothing", nothing, "there is nothing to put in the book"},
           {"empty part", empty_part, "printed document 3 is not a readable PDF: "},
           {"unknown document", unknown_document, "part 4 is in printed document 8 of 4"},
           {"beyond its document", beyond_document, "part 2 begins at sheet 3 of a printed document of 2"},
           {"out of order", out_of_order, "part 2 is out of order"},
           {"a document without parts", unused_document, "printed document 4 holds no part"},
           {"sheets before the first part", sheet_of_no_part, "part 2 is out of order"},
       }) {
    EXPECT_EQ(BookFailure(test.book).rfind(test.error, 0), 0u) << test.what << ": " << BookFailure(test.book);
    EXPECT_THROW(WriteBook(test.book, pdf), BookError) << test.what;
    EXPECT_EQ(testing::ReadBytes(pdf), "earlier") << test.what;
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 1) << test.what;
  }
  EXPECT_THROW(WriteBook(SampleBook(), folder.path() / "no-folder" / "book.pdf"), BookError);
}

// Pages printed together as one document: each part opens at its own sheet,
// and a link to a later part's file lands on that part's sheet.
TEST(PdfBook, PartsCanShareOnePrintedDocument) {
  Book book;
  book.cover = SimplePdf({"Cover"});
  book.documents = {SimplePdf({"A1", "B1", "B2", "C1"}, "file:///site/c.html"), SimplePdf({"D1"})};
  book.parts = {{0, 0, "/site/a.html"}, {0, 1, "/site/b.html"}, {0, 3, "/site/c.html"}, {1, 0, "/site/d.html"}};
  book.outline = {{"A", 0, {{"B", 1, {}, false}, {"C", 2, {}, false}, {"D", 3, {}, false}}, true}};
  TempFolder folder;
  const auto out = folder.path() / "book.pdf";
  WriteBook(book, out);
  ASSERT_EQ(testing::PageCount(out), 6);
  EXPECT_EQ(testing::PageText(out, 5), "C1\n\n\f");
  EXPECT_EQ(testing::OutlineText(out), "A -> 2 (open)\n  B -> 3\n  C -> 5\n  D -> 6\n");
  QPDF pdf;
  pdf.processFile(out.c_str());
  auto pages = QPDFPageDocumentHelper(pdf).getAllPages();
  // The shared document's first sheet links to c.html: the part's sheet, the fifth.
  auto link = pages[1].getObjectHandle().getKey("/Annots").getArrayItem(0);
  EXPECT_FALSE(link.hasKey("/A"));
  EXPECT_TRUE(link.getKey("/Dest").getArrayItem(0).isSameObjectAs(pages[4].getObjectHandle()));
}

TEST(PdfBook, TheSameInputGivesTheSameBytes) {
  EXPECT_EQ(MakeBook(SampleBook()), MakeBook(SampleBook()));
}

}  // namespace
}  // namespace zarel::pdf
