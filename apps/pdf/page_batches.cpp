// Printing pages in runs (see page_batches.h): the plan of runs from the
// files' bytes, each run's document of frames, the script that moves the
// loaded pages into that document, and the rounds that print runs together
// and whatever could not be printed together on its own.
#include "apps/pdf/page_batches.h"

#include "apps/pdf/file_address.h"
#include "apps/pdf/pdf_book.h"
#include "apps/pdf/scratch_page.h"
#include "zarel/base/ascii_text.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

namespace zarel::pdf {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

// The name of the place where page `i` of a run begins. Pages that already
// use names of this form print alone, so the names are never ambiguous.
constexpr const char* kPlacePrefix = "zarel-print-page-";

// What decides whether a file may print together with its neighbours.
struct PageKey {
  fs::path folder;
  std::string head;      // every byte before the body tag
  std::string body_tag;  // "<body ...>"
  std::size_t bytes = 0;
  bool alone = true;
};

PageKey ReadKey(const fs::path& file, const BatchOptions& options) {
  PageKey key;
  key.folder = file.parent_path();
  std::error_code error;
  const auto size = fs::file_size(file, error);
  if (error || size > options.max_bytes) return key;
  std::ifstream in(file, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) return key;
  const std::string lower = LowerAscii(text);
  const auto body = lower.find("<body");
  if (body == std::string::npos) return key;
  const auto tag_end = lower.find('>', body);
  if (tag_end == std::string::npos) return key;
  // A sheet size of the page's own would not be the size its frame is laid
  // out in.
  if (lower.substr(0, body).find("@page") != std::string::npos) return key;
  key.head = text.substr(0, body);
  key.body_tag = text.substr(body, tag_end + 1 - body);
  key.bytes = text.size();
  key.alone = false;
  return key;
}

bool SameRun(const PageKey& a, const PageKey& b) {
  return !a.alone && !b.alone && a.folder == b.folder && a.head == b.head && a.body_tag == b.body_tag;
}

// Moves each frame's page, as its scripts left it, into this document: the
// first page's head (the others must have the same) and body tag, then every
// page's body after a mark where its sheets begin, which a hidden link names
// so that the printed PDF tells where that is. The pages' scripts are left
// out: they have already run, each in its own page. Gives {"print": false,
// "alone": [...]} for the pages that must print alone instead, or
// {"print": true} once every picture, style sheet and font has loaded.
constexpr const char* kMoveScript = R"JS((async () => {
  const prefix = 'zarel-print-page-';
  const frames = Array.from(document.querySelectorAll('iframe'));
  const pages = frames.map((frame) => frame.contentDocument);
  const withoutScripts = (element) => {
    const copy = element.cloneNode(true);
    for (const script of copy.querySelectorAll('script')) script.remove();
    return copy.innerHTML;
  };
  const attributes = (element) => Array.from(element.attributes).map((a) => [a.name, a.value]);
  const first = pages[0];
  const alone = [];
  pages.forEach((page, i) => {
    if (!page || !page.body || page.readyState !== 'complete' || page.compatMode !== first.compatMode) return alone.push(i);
    const root = page.documentElement;
    if (root.scrollWidth > root.clientWidth) return alone.push(i);
    if (page.querySelector('a[href^="#"], area[href^="#"], [id^="' + prefix + '"]')) return alone.push(i);
    if (withoutScripts(page.head) !== withoutScripts(first.head) ||
        JSON.stringify(attributes(page.body)) !== JSON.stringify(attributes(first.body)) ||
        JSON.stringify(attributes(root)) !== JSON.stringify(attributes(first.documentElement))) return alone.push(i);
  });
  if (alone.length) return JSON.stringify({print: false, alone});
  for (const [name, value] of attributes(first.documentElement)) document.documentElement.setAttribute(name, value);
  document.head.innerHTML = withoutScripts(first.head);
  const body = document.body;
  for (const [name, value] of attributes(first.body)) body.setAttribute(name, value);
  body.textContent = '';
  const links = document.createElement('div');
  links.style.display = 'none';
  pages.forEach((page, i) => {
    for (const script of page.querySelectorAll('script')) script.remove();
    const mark = document.createElement('zarel-print-page');
    mark.id = prefix + i;
    mark.setAttribute('style', 'display:block;margin:0;padding:0;border:0;height:0' + (i ? ';break-before:page' : ''));
    body.appendChild(mark);
    while (page.body.firstChild) body.appendChild(document.adoptNode(page.body.firstChild));
    const link = document.createElement('a');
    link.href = '#' + mark.id;
    links.appendChild(link);
  });
  body.appendChild(links);
  for (const frame of frames) frame.remove();
  const loaded = (element) => new Promise((done) => {
    element.addEventListener('load', done);
    element.addEventListener('error', done);
  });
  const waits = [];
  for (const image of document.images) if (!image.complete) waits.push(loaded(image));
  for (const sheet of document.querySelectorAll('link[rel~="stylesheet"]')) if (!sheet.sheet) waits.push(loaded(sheet));
  await Promise.all(waits);
  await document.fonts.ready;
  return JSON.stringify({print: true});
})())JS";

// The document that loads a run's pages side by side, each in a frame the
// size of the sheet's printable area.
std::string RunDocument(const std::vector<fs::path>& files, const BatchOptions& options) {
  std::ostringstream html;
  html << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><style>iframe{display:block;border:0;width:"
       << options.width << "in;height:" << options.height << "in}</style></head><body>\n";
  // A file address has every byte outside the unreserved set percent-encoded,
  // so it needs no escaping in an attribute.
  for (const auto& file : files) html << "<iframe src=\"" << FileAddress(file) << "\"></iframe>\n";
  html << "</body></html>\n";
  return html.str();
}

// Splits [first, end) at the pages in `alone` (indices within the range):
// those become runs of one, the rest runs of what lies between them.
void SplitAt(const PageRun& run, const std::vector<std::size_t>& alone, std::vector<PageRun>& together,
             std::vector<std::size_t>& single) {
  std::size_t start = run.first;
  const auto flush = [&](std::size_t end) {
    if (end - start >= 2) together.push_back({start, end});
    else if (end > start) single.push_back(start);
  };
  for (std::size_t i = run.first; i < run.end; ++i) {
    if (std::find(alone.begin(), alone.end(), i - run.first) == alone.end()) continue;
    flush(i);
    single.push_back(i);
    start = i + 1;
  }
  flush(run.end);
}

}  // namespace

std::vector<PageRun> PlanRuns(const std::vector<fs::path>& files, const BatchOptions& options) {
  std::vector<PageRun> runs;
  std::optional<PageKey> previous;
  std::size_t run_bytes = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    PageKey key = ReadKey(files[i], options);
    const bool joins = previous && !runs.empty() && SameRun(*previous, key) &&
                       runs.back().end - runs.back().first < options.max_pages && run_bytes + key.bytes <= options.max_bytes;
    if (joins) {
      runs.back().end = i + 1;
      run_bytes += key.bytes;
    } else {
      runs.push_back({i, i + 1});
      run_bytes = key.bytes;
    }
    previous = std::move(key);
  }
  return runs;
}

PrintedPages PrintPages(PdfPrinter& printer, const std::vector<fs::path>& files, const BatchOptions& options,
                        const PdfPrinter::Progress& progress) {
  struct Printed {
    std::size_t document;  // index into `documents` below
    std::size_t first_sheet;
  };
  std::vector<std::string> documents;
  std::vector<std::optional<Printed>> placed(files.size());
  std::vector<std::string> errors(files.size());
  // Pages placed so far, and what progress last heard (which never goes
  // back, though a run's share is only estimated while it prints).
  std::size_t done = 0;
  std::size_t shown = 0;
  const auto show = [&](std::size_t pages) {
    if (!progress || pages <= shown) return;
    shown = std::min(pages, files.size());
    progress(shown, files.size());
  };

  std::vector<PageRun> together;
  std::vector<std::size_t> single;
  for (const PageRun& run : PlanRuns(files, options)) {
    if (run.end - run.first >= 2) together.push_back(run);
    else single.push_back(run.first);
  }
  std::size_t next_file_number = 0;
  // Each round prints its runs together, or finds the pages that must print
  // alone and splits the run around them for the next round.
  while (!together.empty()) {
    // Each run's document lies beside its pages while it prints.
    std::vector<std::unique_ptr<ScratchPage>> run_files;
    std::vector<fs::path> paths;
    for (const PageRun& run : together) {
      const std::vector<fs::path> pages(files.begin() + static_cast<std::ptrdiff_t>(run.first),
                                        files.begin() + static_cast<std::ptrdiff_t>(run.end));
      const fs::path name = ".zarel-print-" + std::to_string(next_file_number++) + ".html";
      run_files.push_back(std::make_unique<ScratchPage>(files[run.first].parent_path() / name, RunDocument(pages, options)));
      paths.push_back(run_files.back()->Path());
    }
    std::size_t round_pages = 0;
    for (const PageRun& run : together) round_pages += run.end - run.first;
    const std::size_t before = done;
    const auto printed = printer.PrintAllPrepared(paths, kMoveScript, [&](std::size_t jobs, std::size_t all_jobs) {
      show(before + round_pages * jobs / all_jobs);
    });
    std::vector<PageRun> next;
    for (std::size_t r = 0; r < together.size(); ++r) {
      const PageRun& run = together[r];
      std::vector<std::size_t> alone;
      std::optional<std::map<std::string, std::size_t>> sheets;
      if (run_files[r]->Written() && printed[r].error.empty()) {
        const json answer = json::parse(printed[r].prepared, nullptr, false);
        if (answer.is_object() && answer.value("print", false)) {
          try {
            sheets = NamedSheets(printed[r].pdf);
          } catch (const BookError&) {
          }
        } else if (answer.is_object() && answer.contains("alone") && answer["alone"].is_array()) {
          for (const auto& index : answer["alone"])
            if (index.is_number_unsigned() && index.get<std::size_t>() < run.end - run.first)
              alone.push_back(index.get<std::size_t>());
        }
      }
      // Every page's place must be found in order, or none is used.
      std::vector<std::size_t> firsts;
      if (sheets) {
        for (std::size_t i = 0; i < run.end - run.first; ++i) {
          const auto found = sheets->find(kPlacePrefix + std::to_string(i));
          if (found == sheets->end() || (i == 0 ? found->second != 0 : found->second <= firsts.back())) break;
          firsts.push_back(found->second);
        }
      }
      if (firsts.size() == run.end - run.first) {
        for (std::size_t i = 0; i < firsts.size(); ++i) placed[run.first + i] = Printed{documents.size(), firsts[i]};
        documents.push_back(printed[r].pdf);
        done += firsts.size();
      } else if (!alone.empty()) {
        SplitAt(run, alone, next, single);
      } else {
        // The run failed as a whole: each of its pages prints alone, and
        // tells its own failure if it has one.
        for (std::size_t i = run.first; i < run.end; ++i) single.push_back(i);
      }
    }
    together = std::move(next);
  }

  std::sort(single.begin(), single.end());
  std::vector<fs::path> single_files;
  for (const std::size_t i : single) single_files.push_back(files[i]);
  const auto printed = printer.PrintAll(single_files, [&](std::size_t finished, std::size_t) { show(done + finished); });
  for (std::size_t k = 0; k < single.size(); ++k) {
    if (!printed[k].error.empty()) {
      errors[single[k]] = printed[k].error;
      continue;
    }
    placed[single[k]] = Printed{documents.size(), 0};
    documents.push_back(printed[k].pdf);
  }

  // The documents in the order of the files they hold.
  PrintedPages result;
  std::vector<std::optional<std::size_t>> renumbered(documents.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    PrintedPages::Place place;
    if (placed[i]) {
      auto& number = renumbered[placed[i]->document];
      if (!number) {
        number = result.documents.size();
        result.documents.push_back(std::move(documents[placed[i]->document]));
      }
      place.document = *number;
      place.first_sheet = placed[i]->first_sheet;
    } else {
      place.error = errors[i].empty() ? "cannot print " + files[i].string() : errors[i];
    }
    result.pages.push_back(std::move(place));
  }
  return result;
}

}  // namespace zarel::pdf
