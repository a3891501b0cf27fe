// zarel export: a whole report site as static pages that need no server,
// and, with --pdf, as one PDF.
//
//   zarel export CONNECTION --folder DIR --out OUT [--role N] [--max-nodes N]
//       [--depth N] [--pdf FILE] [--talking] [--display-path] [--heading TEXT]
//       [--date-format PATTERN] [--now "YYYY-MM-DD HH:MM:SS"]
//       [--pdf-parallel N] [--pdf-together N] [--browser PROGRAM]
//
// Opens every node as a user of the role would (the crawl of zarel check
// --crawl, nothing it runs kept in the database) and writes OUT (see
// site_export.h); --pdf then prints the pages into FILE (see
// export_book.h). A progress line on a terminal shows the nodes done, the
// pages written and the time left; at the end, the pages that failed to
// compose are listed and the time the export took is printed.
//
// Exit status: 0 exported; 1 a page failed to compose or print, the
// database cannot be opened, OUT cannot be written, or the PDF cannot be
// made (Chromium missing: the message names the package); 2 usage.
#ifndef ZAREL_APPS_EXPORT_EXPORT_COMMAND_H_
#define ZAREL_APPS_EXPORT_EXPORT_COMMAND_H_

#include <CLI/CLI.hpp>

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>

#include "apps/options/display_options.h"
#include "zarel/base/variant.h"

namespace zarel {

struct ExportOptions {
  std::string connection;
  std::string folder;
  std::string out;
  std::optional<std::string> pdf;
  DisplayOptions display;
  std::optional<Date> now;
  std::size_t max_nodes = 1000;
  std::size_t max_depth = 50;
  // Show the progress line on err (a terminal).
  bool progress = false;
  // The browser that prints the PDF; empty: Debian's chromium.
  std::string browser;
  // Print jobs at once, each in a tab of its own. Printing is Chromium's
  // computing, not its waiting: on a quiet two-core machine one job at a
  // time finished the demo's book first (see the README).
  std::size_t pdf_parallel = 1;
  // Pages printed as one print job at most: each print job costs Chromium a
  // page load and a print process of its own (see apps/pdf/page_batches.h).
  std::size_t pdf_together = 24;
};

CLI::App* AddExportCommand(CLI::App& app, ExportOptions& options);

// Runs a parsed export command; answers the exit status.
int RunExport(const ExportOptions& options, std::ostream& out, std::ostream& err);

}  // namespace zarel

#endif  // ZAREL_APPS_EXPORT_EXPORT_COMMAND_H_
