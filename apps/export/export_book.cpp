// The export as one PDF (see export_book.h).
#include "apps/export/export_book.h"

#include "apps/export/page_names.h"
#include "apps/pdf/pdf_book.h"
#include "apps/pdf/scratch_page.h"

namespace zarel::site_export {

namespace fs = std::filesystem;

namespace {

// The bookmarks of a node and its children: the part its page was printed
// as, when it was.
pdf::OutlineEntry Bookmarks(const std::vector<ExportedNode>& nodes, std::size_t index,
                            const std::vector<std::optional<std::size_t>>& part_of, std::size_t depth) {
  pdf::OutlineEntry entry;
  entry.title = nodes[index].text;
  entry.part = part_of[index];
  entry.expanded = depth == 0;
  for (const std::size_t child : nodes[index].children) {
    entry.children.push_back(Bookmarks(nodes, child, part_of, depth + 1));
  }
  return entry;
}

}  // namespace

std::string CoverHtml(const std::string& title, const std::string& exported_at, std::size_t pages) {
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + HtmlEscape(title) +
         "</title>\n<style>\n"
         "body { font-family: 'DejaVu Sans', sans-serif; color: #1f2328; margin: 0; }\n"
         ".cover { height: 25cm; display: flex; flex-direction: column; justify-content: center; "
         "align-items: center; text-align: center; }\n"
         "h1 { font-size: 32pt; margin: 0 0 1cm; }\n"
         "p { font-size: 13pt; margin: .2cm; color: #57606a; }\n"
         "</style></head>\n<body><div class=\"cover\"><h1>" + HtmlEscape(title) + "</h1>\n"
         "<p>Exported " + HtmlEscape(exported_at) + "</p>\n<p>" + std::to_string(pages) +
         (pages == 1 ? " page" : " pages") + "</p></div></body></html>\n";
}

BookResult PrintBook(const ExportResult& exported, const fs::path& out, const fs::path& file,
                     const std::string& exported_at, const pdf::PrintOptions& print_options,
                     std::size_t pages_together, const std::function<void(std::size_t, std::size_t)>& progress) {
  BookResult result;
  const fs::path folder = fs::absolute(out).lexically_normal();
  const fs::path pages = folder / kPagesFolder;
  std::vector<std::size_t> printed_nodes;
  std::vector<fs::path> files;
  for (const std::size_t index : TreeOrder(exported.nodes)) {
    if (exported.nodes[index].page.empty()) continue;
    printed_nodes.push_back(index);
    files.push_back(pages / exported.nodes[index].page);
  }
  const std::string title = exported.nodes.empty() ? std::string("Zarel") : exported.nodes.front().text;
  try {
    pdf::PrintOptions options = print_options;
    options.only_files_in = folder;
    pdf::PdfPrinter printer(options);
    // The cover's file lies inside OUT while it prints (the printer reads
    // only files there).
    const pdf::ScratchPage cover(folder / ".cover.html", CoverHtml(title, exported_at, files.size()));
    pdf::Book book;
    book.title = title;
    book.cover = printer.Print(cover.Path());
    pdf::BatchOptions batches;
    batches.max_pages = pages_together;
    batches.width = options.paper_width - 2 * options.margin;
    batches.height = options.paper_height - 2 * options.margin;
    pdf::PrintedPages printed = pdf::PrintPages(printer, files, batches, progress);
    book.documents = std::move(printed.documents);
    std::vector<std::optional<std::size_t>> part_of(exported.nodes.size());
    for (std::size_t i = 0; i < printed.pages.size(); ++i) {
      const ExportedNode& node = exported.nodes[printed_nodes[i]];
      const pdf::PrintedPages::Place& place = printed.pages[i];
      if (!place.error.empty()) {
        result.unprinted.push_back(node.path + ": " + place.error);
        continue;
      }
      part_of[printed_nodes[i]] = book.parts.size();
      book.parts.push_back({place.document, place.first_sheet, files[i]});
    }
    if (!exported.nodes.empty()) book.outline.push_back(Bookmarks(exported.nodes, 0, part_of, 0));
    result.times = printer.Times();
    pdf::WriteBook(book, file);
    result.printed = book.parts.size();
  } catch (const pdf::PrintError& error) {
    result.failure = error.what();
  } catch (const pdf::BookError& error) {
    result.failure = error.what();
  }
  return result;
}

}  // namespace zarel::site_export
