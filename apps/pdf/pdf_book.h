// Joins printed PDF documents into one: a cover, then each part (a printed
// page) starting on a sheet of its own, with a nested outline (the bookmarks
// a PDF viewer shows) whose entries open at the first sheet of a part. Uses
// libqpdf.
//
// Functions only; nothing shared.
#ifndef ZAREL_APPS_PDF_PDF_BOOK_H_
#define ZAREL_APPS_PDF_PDF_BOOK_H_

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zarel::pdf {

// A part is not a readable PDF, the outline points at a part that does not
// exist, or the book could not be written.
class BookError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct OutlineEntry {
  std::string title;  // UTF-8
  // The part (an index into Book::parts) whose first sheet the entry opens.
  // None: it opens where its first descendant with a part does (or nowhere
  // when none has one).
  std::optional<std::size_t> part;
  std::vector<OutlineEntry> children;
  // Whether the viewer shows the children at first.
  bool expanded = false;
};

// One printed page of the book: where its sheets begin among the sheets of
// the printed documents. It runs to where the next part begins, or to the
// end of its document.
struct BookPart {
  std::size_t document = 0;     // an index into Book::documents
  std::size_t first_sheet = 0;  // within that document, from 0
  // The HTML file it was printed from, absolute, or empty: a link in the
  // book to this file opens the part's first sheet (or the place its
  // "#name" names) inside the book instead of the file.
  std::filesystem::path file;
};

struct Book {
  std::string title;  // the document's title (UTF-8)
  std::string cover;  // a PDF put before the parts; empty: no cover
  // Whole PDF files as printed, in order: one page each, or several pages
  // printed as one document.
  std::vector<std::string> documents;
  // In order. Each document's first part begins at its first sheet, and
  // every document holds at least one part.
  std::vector<BookPart> parts;
  std::vector<OutlineEntry> outline;  // top-level entries
};

// Adds `pdf` as a document holding one part, printed from `file`.
void AddPart(Book& book, std::string pdf, std::filesystem::path file = {});

// The sheet (from 0) at which each named destination of `pdf` opens.
// Throws BookError when it is not a readable PDF.
std::map<std::string, std::size_t> NamedSheets(const std::string& pdf);

// The whole book as PDF bytes. Throws BookError.
std::string MakeBook(const Book& book);

// Writes the book to `file` through a temporary file beside it, renamed over
// it at the end: on failure nothing is written and an earlier file stays.
void WriteBook(const Book& book, const std::filesystem::path& file);

}  // namespace zarel::pdf

#endif  // ZAREL_APPS_PDF_PDF_BOOK_H_
