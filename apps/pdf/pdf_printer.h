// Prints local HTML files to PDF with one headless Chromium, started once
// and driven over its DevTools pipe, so that each page costs a page load and
// a print, not a browser start.
//
// A PdfPrinter is not to be shared between threads.
#ifndef ZAREL_APPS_PDF_PDF_PRINTER_H_
#define ZAREL_APPS_PDF_PDF_PRINTER_H_

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace zarel::pdf {

// Printing failed. The message says what to do about it where we know
// (for instance which package to install).
class PrintError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct PrintOptions {
  // The browser to run; empty: Debian's chromium package (its program in
  // /usr/lib/chromium, else "chromium" on PATH).
  std::filesystem::path browser;
  // Longest wait for the browser to start and answer.
  std::chrono::milliseconds start_timeout{30'000};
  // Longest time for one page to load and print.
  std::chrono::milliseconds page_timeout{30'000};
  // How many pages load and print at once, each in a tab of its own. Most
  // of a page's print is the browser waiting, not computing, so a few side
  // by side finish sooner even on two cores (see the README).
  std::size_t parallel = 1;
  // Sheet size and margins in inches (A4 with 1 cm margins). A page's own
  // CSS @page size wins over these.
  double paper_width = 8.27;
  double paper_height = 11.69;
  double margin = 0.39;
  bool print_background = true;
  // When set, a page may load only files inside this folder (sub-folders
  // included, links followed): any other request, for another local file or
  // anything on the network, fails, and so does printing a page outside it.
  std::filesystem::path only_files_in;
  // More switches for the browser, after the ones it always gets.
  std::vector<std::string> extra_arguments;
};

// The browser `options` name, or the one the chromium package installs.
// Throws PrintError naming the package when there is none.
std::filesystem::path FindBrowser(const PrintOptions& options);

// Where to look for the package's browser and in which folders (a PATH-like
// list) to look for "chromium" after that. Exposed for tests.
std::filesystem::path FindBrowser(const std::filesystem::path& wanted,
                                   const std::vector<std::filesystem::path>& known_places,
                                   const std::string& search_path);

// Where a printer's time went, summed over its pages (tabs side by side
// overlap, so the sums may exceed the time that passed).
struct PrintTimes {
  std::size_t tabs_opened = 0;
  // Making a tab: its browser context, the tab, attaching to it and turning
  // on the events we need.
  std::chrono::steady_clock::duration opening{};
  // From asking for a page to its load event.
  std::chrono::steady_clock::duration loading{};
  // From asking for the PDF to having it.
  std::chrono::steady_clock::duration printing{};
};

// What printing one file gave: its PDF, or why there is none.
struct PrintedPage {
  std::string pdf;
  std::string error;     // empty when printed
  std::string prepared;  // what the preparing script gave (PrintAllPrepared)
};

class PdfPrinter {
 public:
  // Starts the browser. Throws PrintError when it is missing, cannot start
  // or does not answer within options.start_timeout.
  explicit PdfPrinter(PrintOptions options = {});
  ~PdfPrinter();
  PdfPrinter(PdfPrinter&&) noexcept;
  PdfPrinter& operator=(PdfPrinter&&) noexcept;

  // The PDF of one HTML file, each of its sheets as the browser prints it,
  // after the page's load event (its scripts have run and its pictures have
  // loaded). Throws PrintError when the file cannot be opened, the page does
  // not load and print within the page timeout (the printer stays usable),
  // or the browser died (then every later call fails too).
  std::string Print(const std::filesystem::path& html_file);

  // Prints every file, options.parallel at a time; the result at i is for
  // files[i]. A page that fails gets its error and the others still print;
  // when the browser dies, every page not yet printed gets the reason.
  // `progress`, when given, hears after each page how many are done.
  using Progress = std::function<void(std::size_t done, std::size_t total)>;
  std::vector<PrintedPage> PrintAll(const std::vector<std::filesystem::path>& html_files,
                                     const Progress& progress = {});

  // As PrintAll, but after each page's load event runs `script` in it (a
  // JavaScript expression; a promise it gives is waited for) and prints the
  // page only when the script's value is a text, which comes back in
  // PrintedPage::prepared. A script that throws fails that page, saying why.
  std::vector<PrintedPage> PrintAllPrepared(const std::vector<std::filesystem::path>& html_files,
                                            const std::string& script, const Progress& progress = {});

  // What the browser calls itself, e.g. "Chrome/156.0.8078.129".
  const std::string& BrowserVersion() const;

  // Where the time of every page printed so far went.
  const PrintTimes& Times() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace zarel::pdf

#endif  // ZAREL_APPS_PDF_PDF_PRINTER_H_
