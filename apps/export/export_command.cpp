// zarel export (see export_command.h).
#include "apps/export/export_command.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "apps/export/export_book.h"
#include "apps/export/site_export.h"
#include "apps/options/connection_check.h"
#include "apps/options/connection_option.h"
#include "apps/options/now_option.h"
#include "zarel/base/clock.h"
#include "zarel/base/date_time.h"
#include "zarel/base/error.h"

namespace zarel {

namespace {

constexpr int kExported = 0;
constexpr int kFailed = 1;

using Steady = std::chrono::steady_clock;

constexpr const char* kExportFooter = R"(OUT receives index.html (the tree on the left, the page on the right; open it
from the folder or put the folder on any web server), pages/ with one page per
node named after its tree path, and the pictures the pages use. OUT must be
new, empty or an earlier export, which is replaced.

Exit status: 0 exported; 1 a page failed to compose or print, or the export
could not be made; 2 usage.)";

std::string Seconds(Steady::duration span) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", std::chrono::duration<double>(span).count());
  return text;
}

// "about N s left" from the time the done part took.
std::string TimeLeft(Steady::duration elapsed, std::size_t done, std::size_t left) {
  if (done == 0) return "";
  const double seconds = std::chrono::duration<double>(elapsed).count() / static_cast<double>(done) *
                         static_cast<double>(left);
  char text[48];
  std::snprintf(text, sizeof text, ", about %.0f s left", seconds);
  return text;
}

}  // namespace

CLI::App* AddExportCommand(CLI::App& app, ExportOptions& options) {
  CLI::App* command = app.add_subcommand(
      "export", "Write a report site as static pages that need no server (a folder with "
                "index.html), and with --pdf as one PDF with the tree as its bookmarks.");
  command->footer(kExportFooter);
  AddConnectionArgument(*command, options.connection);
  command->add_option("--folder", options.folder,
                      "The site's application folder: its pictures and the files its pages name")
      ->required()
      ->check(CLI::ExistingDirectory);
  command->add_option("--out", options.out,
                      "The folder to write (new, empty, or an earlier export, which is replaced)")
      ->required();
  command->add_option("--pdf", options.pdf,
                      "Also print the pages, in tree order, into this PDF file (needs Chromium)")
      ->type_name("FILE");
  command->add_option("--max-nodes", options.max_nodes, "Nodes opened at most (default 1000)")
      ->check(CLI::Range(std::size_t{1}, std::size_t{1000000}));
  command->add_option("--depth", options.max_depth,
                      "Levels below the root opened at most (default 50)")
      ->check(CLI::Range(std::size_t{0}, std::size_t{10000}));
  AddDisplayOptions(*command, options.display);
  AddNowOption(*command, options.now);
  command->add_option("--browser", options.browser,
                      "The Chromium program that prints the PDF (default: Debian's chromium)")
      ->type_name("PROGRAM");
  command->add_option("--pdf-parallel", options.pdf_parallel,
                      "Print jobs at once, each in a tab of its own (default 1)")
      ->check(CLI::Range(std::size_t{1}, std::size_t{16}));
  command->add_option("--pdf-together", options.pdf_together,
                      "Pages printed as one print job at most; 1 prints each page on its own (default 24)")
      ->check(CLI::Range(std::size_t{1}, std::size_t{1000}));
  return command;
}

int RunExport(const ExportOptions& options, std::ostream& out, std::ostream& err) {
  const Steady::time_point started = Steady::now();
  if (auto refused = site_export::RefusesOut(options.out)) {
    err << "zarel: cannot export to " << options.out << ": " << *refused << "\n";
    return kFailed;
  }
  pdf::PrintOptions print_options;
  if (!options.browser.empty()) print_options.browser = options.browser;
  print_options.parallel = options.pdf_parallel;
  if (options.pdf) {
    // Before the crawl, so that nobody waits for it to learn this.
    try {
      pdf::FindBrowser(print_options);
    } catch (const pdf::PrintError& error) {
      err << "zarel: " << error.what() << "\n";
      return kFailed;
    }
  }
  if (!CheckConnectionBeforeStart(options.connection, err)) return kFailed;
  std::optional<FixedClock> fixed_clock;
  if (options.now) fixed_clock.emplace(*options.now);

  site_export::ExportOptions export_options;
  export_options.connection = options.connection;
  export_options.site_folder = options.folder;
  export_options.out = options.out;
  export_options.display = options.display;
  export_options.max_nodes = options.max_nodes;
  export_options.max_depth = options.max_depth;
  export_options.exported_at = site_export::MomentText(Clock::Now());

  std::function<void(const site_export::ExportProgress&)> progress;
  if (options.progress) {
    progress = [&err](const site_export::ExportProgress& now) {
      err << "\rexport: " << now.nodes_done << " nodes done, " << now.pages_written
          << " pages written, " << now.waiting << " waiting"
          << TimeLeft(now.elapsed, now.nodes_done, now.waiting) << "    " << std::flush;
    };
  }
  site_export::ExportResult exported;
  try {
    exported = site_export::ExportSite(export_options, progress);
  } catch (const RuntimeError& error) {
    if (options.progress) err << "\n";
    err << "zarel: " << error.what() << "\n";
    return kFailed;
  }
  if (options.progress) err << "\n";
  if (exported.failure) {
    err << "zarel: " << *exported.failure << "\n";
    return kFailed;
  }
  out << "exported " << exported.nodes.size() << " nodes, " << exported.pages << " pages and "
      << exported.files << " files to " << options.out << "\n";
  if (exported.left_unopened > 0) {
    out << "left out " << exported.left_unopened << " nodes beyond --max-nodes or --depth\n";
  }
  for (const std::string& missing : exported.missing_files) {
    out << "missing file: " << missing << ", not in the site folder\n";
  }

  bool failed = !exported.failed.empty();
  if (options.pdf) {
    const Steady::time_point printing = Steady::now();
    std::function<void(std::size_t, std::size_t)> print_progress;
    if (options.progress) {
      print_progress = [&err, printing](std::size_t done, std::size_t total) {
        err << "\rpdf: " << done << " of " << total << " pages printed"
            << TimeLeft(Steady::now() - printing, done, total - done) << "    " << std::flush;
      };
    }
    const site_export::BookResult book = site_export::PrintBook(
        exported, options.out, *options.pdf, export_options.exported_at, print_options, options.pdf_together,
        print_progress);
    if (options.progress) err << "\n";
    if (book.failure) {
      err << "zarel: cannot make " << *options.pdf << ": " << *book.failure << "\n";
      failed = true;
    } else {
      out << "printed " << book.printed << " pages to " << *options.pdf << "\n";
    }
    for (const std::string& page : book.unprinted) err << "not printed: " << page << "\n";
    if (!book.unprinted.empty()) failed = true;
  }

  for (const std::size_t index : exported.failed) {
    const site_export::ExportedNode& node = exported.nodes[index];
    err << "failed: " << node.path << ": " << node.problem << "\n";
  }
  if (!exported.failed.empty()) {
    err << "zarel export: " << exported.failed.size()
        << (exported.failed.size() == 1 ? " page" : " pages") << " failed to compose\n";
  }
  out << "zarel export took " << Seconds(Steady::now() - started) << "\n";
  return failed ? kFailed : kExported;
}

}  // namespace zarel
