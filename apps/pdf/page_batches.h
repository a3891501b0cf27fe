// Printing many pages as few print jobs. Each page printed on its own costs
// the browser a page load and a print process of its own; pages printed
// together in one document cost one of each for all of them.
//
// Consecutive pages of one folder that share their head and body tag are
// loaded side by side, each in a frame of its own (so that its scripts see
// only its own document, as when it is printed alone), then moved, as their
// scripts left them and without the scripts, into one document that prints
// them one after the other, each from a new sheet, at the size it has alone.
// A page prints alone instead when it is wider than the sheet (the browser
// would shrink it, and with it every page printed beside it), has links to
// places within itself (their targets would be ambiguous among the pages),
// differs from the others of its run in its head, or when its run fails to
// print together for any reason; so every failure is still told page by page.
//
// Functions only; the printer passed in is used from the calling thread.
#ifndef ZAREL_APPS_PDF_PAGE_BATCHES_H_
#define ZAREL_APPS_PDF_PAGE_BATCHES_H_

#include "apps/pdf/pdf_printer.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace zarel::pdf {

struct BatchOptions {
  // Most pages printed as one document; 1 prints every page on its own.
  std::size_t max_pages = 24;
  // Most bytes of HTML (the pages' files) printed as one document: a run of
  // large pages is split so that none takes much longer than a page alone.
  std::size_t max_bytes = 2 * 1024 * 1024;
  // The printable area of a sheet in inches (the paper less its margins),
  // which each page is laid out in before it is printed.
  double width = 8.27 - 2 * 0.39;
  double height = 11.69 - 2 * 0.39;
};

// Every file printed: the documents in the order of the files, and for each
// file where its sheets begin (or why it was not printed).
struct PrintedPages {
  struct Place {
    std::size_t document = 0;
    std::size_t first_sheet = 0;
    std::string error;  // empty when printed
  };
  std::vector<std::string> documents;
  std::vector<Place> pages;  // one per file, in order
};

// Prints `files` (absolute paths, in order) with `printer`, in runs as above.
// The printer must be allowed to read the files' folders, where each run's
// document is written while it prints (a hidden file, removed afterwards).
// `progress` hears how many files are done.
PrintedPages PrintPages(PdfPrinter& printer, const std::vector<std::filesystem::path>& files,
                        const BatchOptions& options, const PdfPrinter::Progress& progress = {});

// The runs `files` would be printed in at first, as index ranges [first,
// end): consecutive files of one folder whose text before "<body" and whose
// body tag are the same, within the bounds of `options`. A file that cannot
// be read, has no body tag or a head that sets the sheet's size ("@page")
// is a run of its own. Exposed for tests.
struct PageRun {
  std::size_t first = 0;
  std::size_t end = 0;
};
std::vector<PageRun> PlanRuns(const std::vector<std::filesystem::path>& files, const BatchOptions& options);

}  // namespace zarel::pdf

#endif  // ZAREL_APPS_PDF_PAGE_BATCHES_H_
