// zarel export --pdf of the demo site: the demo exported once, then its
// pages printed into one PDF (cover, bookmarks, joined with libqpdf) the way
// the export printed before (one page per print job, one job at a time) and
// the export's way now (pages printed together as one print job, a few jobs
// side by side), and any other ways asked for, in alternating rounds. Prints
// the median wall time, the machine's busy CPU time (Chromium's helper
// processes are not children this program waits for, so its own CPU count
// would miss most of their work; run it on a quiet machine), and where the
// printer's time went (opening tabs, loading pages, printing them).
//
//   pdf_print_benchmark [--rounds N] [--ways PxT,...] [--nodes N]
//
// A way PxT prints P jobs at once with up to T pages in each. Defaults: 3
// rounds, 1x1 against the export's defaults; --nodes exports only the first
// N nodes of the crawl (a quick look; the goal is judged on the whole demo
// only).
// Goal: the demo's PDF export (the export and the book) in 20 s or less on
// a quiet two-core machine.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "apps/demo/demo_command.h"
#include "apps/export/export_book.h"
#include "apps/export/export_command.h"
#include "apps/export/site_export.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Seconds(Clock::duration span) { return std::chrono::duration<double>(span).count(); }

// The machine's busy time so far, all processors together: /proc/stat's
// first line less its idle and waiting columns.
double BusySeconds() {
  std::ifstream stat("/proc/stat");
  std::string cpu;
  stat >> cpu;
  double busy = 0;
  for (int column = 0; column < 8; ++column) {
    double ticks = 0;
    stat >> ticks;
    if (column != 3 && column != 4) busy += ticks;  // idle, iowait
  }
  return busy / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

struct Way {
  std::size_t parallel = 1;
  std::size_t together = 1;
  std::string Name() const { return std::to_string(parallel) + "x" + std::to_string(together); }
  bool operator<(const Way& other) const {
    return std::tie(parallel, together) < std::tie(other.parallel, other.together);
  }
  bool operator==(const Way& other) const { return parallel == other.parallel && together == other.together; }
};

struct Round {
  double wall = 0;
  double cpu = 0;
  double opening = 0;
  double loading = 0;
  double printing = 0;
};

std::vector<Way> ParseWays(const char* text) {
  std::vector<Way> ways;
  std::istringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    Way way;
    char x = 0;
    std::istringstream one(item);
    if (one >> way.parallel >> x >> way.together && x == 'x' && way.parallel >= 1 && way.parallel <= 16 &&
        way.together >= 1 && way.together <= 1000)
      ways.push_back(way);
  }
  return ways;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 3;
  std::size_t nodes = 1000;
  const Way ours{zarel::ExportOptions{}.pdf_parallel, zarel::ExportOptions{}.pdf_together};
  const Way before{1, 1};
  std::vector<Way> ways = {before, ours};
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--ways") == 0 && i + 1 < argc) {
      ways = ParseWays(argv[++i]);
      if (std::find(ways.begin(), ways.end(), before) == ways.end()) ways.insert(ways.begin(), before);
    } else if (std::strcmp(argv[i], "--nodes") == 0 && i + 1 < argc) {
      nodes = static_cast<std::size_t>(std::max(1, std::atoi(argv[++i])));
    } else {
      std::fprintf(stderr, "usage: pdf_print_benchmark [--rounds N] [--ways PxT,...] [--nodes N]\n");
      return 2;
    }
  }

  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = (tmp && *tmp ? std::string(tmp) : std::string("/tmp")) + "/zarel-pdf-bench-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path folder = pattern;
  int status = 0;
  try {
    const zarel::DemoSite demo = zarel::CreateDemoSite((folder / "demo").string());
    zarel::site_export::ExportOptions options;
    options.connection = demo.connection;
    options.site_folder = demo.application_folder;
    options.out = folder / "out";
    options.exported_at = "2026-12-05 14:05:09";
    options.max_nodes = nodes;
    const auto exporting = Clock::now();
    const zarel::site_export::ExportResult exported = zarel::site_export::ExportSite(options, {});
    const double export_seconds = Seconds(Clock::now() - exporting);
    if (exported.failure) {
      std::fprintf(stderr, "pdf_print_benchmark: the export failed: %s\n", exported.failure->c_str());
      fs::remove_all(folder);
      return 1;
    }

    std::map<Way, std::vector<Round>> runs;
    std::size_t printed = 0;
    for (int round = 0; round < rounds; ++round) {
      for (const Way& way : ways) {
        zarel::pdf::PrintOptions print;
        print.parallel = way.parallel;
        const double cpu = BusySeconds();
        const auto started = Clock::now();
        const auto book = zarel::site_export::PrintBook(exported, options.out, folder / "demo.pdf",
                                                        options.exported_at, print, way.together, {});
        Round run;
        run.wall = Seconds(Clock::now() - started);
        run.cpu = BusySeconds() - cpu;
        if (book.failure || !book.unprinted.empty()) {
          std::fprintf(stderr, "pdf_print_benchmark: printing failed: %s\n",
                       book.failure ? book.failure->c_str() : book.unprinted.front().c_str());
          fs::remove_all(folder);
          return 1;
        }
        printed = book.printed;
        run.opening = Seconds(book.times.opening);
        run.loading = Seconds(book.times.loading);
        run.printing = Seconds(book.times.printing);
        std::printf("  round %d, %-6s: %6.1f s wall, %5.1f s busy CPU\n", round + 1, way.Name().c_str(), run.wall,
                    run.cpu);
        std::fflush(stdout);
        runs[way].push_back(run);
      }
    }

    std::printf("pdf print benchmark: the demo (%zu nodes) exported in %.2f s, then its %zu pages printed into "
                "one PDF; medians of %d alternating rounds\n",
                exported.nodes.size(), export_seconds, printed, rounds);
    std::printf("  %-10s %9s %9s %9s %9s %10s %10s %10s\n", "way", "wall s", "s/page", "busy CPU", "vs 1x1",
                "opening s", "loading s", "printing s");
    const auto median_of = [&](const Way& way, double Round::*field) {
      std::vector<double> values;
      for (const Round& run : runs[way]) values.push_back(run.*field);
      return Median(values);
    };
    const double baseline = median_of(before, &Round::wall);
    for (const Way& way : ways) {
      const double wall = median_of(way, &Round::wall);
      std::printf("  %-10s %9.1f %9.3f %9.1f %8.2fx %10.1f %10.1f %10.1f\n", way.Name().c_str(), wall,
                  wall / static_cast<double>(std::max<std::size_t>(printed, 1)), median_of(way, &Round::cpu),
                  baseline / wall, median_of(way, &Round::opening), median_of(way, &Round::loading),
                  median_of(way, &Round::printing));
    }
    std::printf("  (a way PxT: P print jobs at once, up to T pages each; loading and printing are summed over "
                "the print jobs, which overlap)\n");
    if (runs.count(ours) && exported.left_unopened == 0) {
      const double total = export_seconds + median_of(ours, &Round::wall);
      const bool met = total <= 20.0;
      std::printf("goal: the demo's PDF export (export and book, the default way %s) in 20 s or less: %.1f s, %s\n",
                  ours.Name().c_str(), total, met ? "met" : "NOT met");
      const bool faster = median_of(ours, &Round::wall) < baseline;
      std::printf("goal: the default way faster than 1x1: %.2fx, %s\n", baseline / median_of(ours, &Round::wall),
                  faster ? "met" : "NOT met");
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "pdf_print_benchmark: %s\n", error.what());
    status = 1;
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return status;
}
