// Joins printed PDF documents into one: a cover, then each part starting on
// a sheet of its own, with a nested outline (the bookmarks a PDF viewer shows)
// whose entries open at the first sheet of a part. Uses libqpdf.
//
// Functions only; nothing shared.
#ifndef ZAREL_APPS_PDF_PDF_BOOK_H_
#define ZAREL_APPS_PDF_PDF_BOOK_H_

#include <cstddef>
#include <filesystem>
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
  // The part (an index into Book::parts, the cover not counted) whose first
  // sheet the entry opens. None: it opens where its first descendant with a
  // part does (or nowhere when none has one).
  std::optional<std::size_t> part;
  std::vector<OutlineEntry> children;
  // Whether the viewer shows the children at first.
  bool expanded = false;
};

struct Book {
  std::string title;                  // the document's title (UTF-8)
  std::string cover;                  // a PDF put before the parts; empty: no cover
  std::vector<std::string> parts;     // whole PDF files, in order
  std::vector<OutlineEntry> outline;  // top-level entries
  // For each part (or none), the HTML file it was printed from, absolute: a link in
  // the book to one of these files opens that part's first sheet (or the
  // place its "#name" names) inside the book instead of the file.
  std::vector<std::filesystem::path> part_files;
};

// The whole book as PDF bytes. Throws BookError.
std::string MakeBook(const Book& book);

// Writes the book to `file` through a temporary file beside it, renamed over
// it at the end: on failure nothing is written and an earlier file stays.
void WriteBook(const Book& book, const std::filesystem::path& file);

}  // namespace zarel::pdf

#endif  // ZAREL_APPS_PDF_PDF_BOOK_H_
