// zarel export --pdf of the demo site: the demo exported once, then its
// pages printed into one PDF (cover, bookmarks, joined with libqpdf) with
// one page at a time, the way the export printed before, and with several
// side by side (the export's default, and any other counts asked for), in
// alternating rounds. Prints the median wall time, the CPU time of this
// program and its browser, and where the printer's time went (opening tabs,
// loading pages, printing them), against one page at a time.
//
//   pdf_print_benchmark [--rounds N] [--parallel A,B,...] [--nodes N]
//
// Defaults: 3 rounds, one at a time against the export's default; --nodes
// exports only the first N nodes of the crawl (a quick look; the goal is
// judged on the whole demo only).
// Goal: the demo's PDF export (the export and the book) in 20 s or less on
// a quiet two-core machine.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
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

// User and system time of this program and of the children it has waited
// for (the browser and, through it, its helpers).
double CpuSeconds() {
  double total = 0;
  for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage usage{};
    ::getrusage(who, &usage);
    total += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
             static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  }
  return total;
}

struct Round {
  double wall = 0;
  double cpu = 0;
  double opening = 0;
  double loading = 0;
  double printing = 0;
};

std::vector<std::size_t> ParseCounts(const char* text) {
  std::vector<std::size_t> counts;
  std::istringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    const long count = std::atol(item.c_str());
    if (count >= 1 && count <= 16) counts.push_back(static_cast<std::size_t>(count));
  }
  return counts;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 3;
  std::size_t nodes = 1000;
  const std::size_t ours = zarel::ExportOptions{}.pdf_parallel;
  std::vector<std::size_t> counts = {1, ours};
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--parallel") == 0 && i + 1 < argc) {
      counts = ParseCounts(argv[++i]);
      if (std::find(counts.begin(), counts.end(), 1u) == counts.end()) counts.insert(counts.begin(), 1);
    } else if (std::strcmp(argv[i], "--nodes") == 0 && i + 1 < argc) {
      nodes = static_cast<std::size_t>(std::max(1, std::atoi(argv[++i])));
    } else {
      std::fprintf(stderr, "usage: pdf_print_benchmark [--rounds N] [--parallel A,B,...] [--nodes N]\n");
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

    std::map<std::size_t, std::vector<Round>> runs;
    std::size_t printed = 0;
    for (int round = 0; round < rounds; ++round) {
      for (const std::size_t count : counts) {
        zarel::pdf::PrintOptions print;
        print.parallel = count;
        const double cpu = CpuSeconds();
        const auto started = Clock::now();
        const auto book = zarel::site_export::PrintBook(exported, options.out, folder / "demo.pdf",
                                                        options.exported_at, print, {});
        Round run;
        run.wall = Seconds(Clock::now() - started);
        run.cpu = CpuSeconds() - cpu;
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
        std::printf("  round %d, %2zu at once: %6.1f s wall, %5.1f s CPU\n", round + 1, count, run.wall, run.cpu);
        std::fflush(stdout);
        runs[count].push_back(run);
      }
    }

    std::printf("pdf print benchmark: the demo (%zu nodes) exported in %.2f s, then its %zu pages printed into "
                "one PDF; medians of %d alternating rounds\n",
                exported.nodes.size(), export_seconds, printed, rounds);
    std::printf("  %-10s %9s %9s %9s %9s %10s %10s %10s\n", "at once", "wall s", "s/page", "CPU s", "vs one",
                "opening s", "loading s", "printing s");
    const auto median_of = [&](std::size_t count, double Round::*field) {
      std::vector<double> values;
      for (const Round& run : runs[count]) values.push_back(run.*field);
      return Median(values);
    };
    const double baseline = median_of(1, &Round::wall);
    for (const std::size_t count : counts) {
      const double wall = median_of(count, &Round::wall);
      std::printf("  %-10zu %9.1f %9.3f %9.1f %8.2fx %10.1f %10.1f %10.1f\n", count, wall,
                  wall / static_cast<double>(std::max<std::size_t>(printed, 1)), median_of(count, &Round::cpu),
                  baseline / wall, median_of(count, &Round::opening), median_of(count, &Round::loading),
                  median_of(count, &Round::printing));
    }
    std::printf("  (loading and printing are summed over the pages: tabs side by side overlap)\n");
    if (runs.count(ours) && exported.left_unopened == 0) {
      const double total = export_seconds + median_of(ours, &Round::wall);
      const bool met = total <= 20.0;
      std::printf("goal: the demo's PDF export (export and book, %zu at once, the default) in 20 s or less: "
                  "%.1f s, %s\n",
                  ours, total, met ? "met" : "NOT met");
      const bool faster = median_of(ours, &Round::wall) < baseline;
      std::printf("goal: %zu at once faster than one at a time: %.2fx, %s\n", ours,
                  baseline / median_of(ours, &Round::wall), faster ? "met" : "NOT met");
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "pdf_print_benchmark: %s\n", error.what());
    status = 1;
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return status;
}
