// Writing the sample report pages.
#include "apps/pdf/pdf_sample_pages.h"

#include <fstream>
#include <stdexcept>

namespace zarel::pdf::samples {
namespace {

std::string escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

// A 24 by 12 picture, red on the left, blue on the right.
constexpr char picture_png[] =
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x18\x00\x00\x00\x0c\x08\x02\x00\x00"
    "\x00\xf7\x52\xea\x22\x00\x00\x00\x1c\x49\x44\x41\x54\x78\xda\x63\xf8\x6f\x23\x47\x10\xc9\xd9\xdc\x21\x88\x18\x46"
    "\x0d\x1a\x35\x68\xd4\x20\x7c\x08\x00\xfe\x15\x70\x80\xe4\x6b\x8c\x8b\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60"
    "\x82";

}  // namespace

void WriteFile(const std::filesystem::path& file, const std::string& text) {
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

void WriteAssets(const std::filesystem::path& folder) {
  WriteFile(folder / "assets" / "report.css",
             "body { font-family: 'DejaVu Sans', sans-serif; color: #222; }\n"
             "h1 { color: #1a4d8f; border-bottom: 3px solid #1a4d8f; }\n"
             "table { border-collapse: collapse; margin-top: 1em; }\n"
             "th { background: #dde6f3; }\n"
             "td, th { border: 1px solid #888; padding: 2px 8px; }\n"
             "img { width: 96px; height: 48px; image-rendering: pixelated; }\n");
  // Runs in the head, before the body exists.
  WriteFile(folder / "assets" / "report.js",
             "document.addEventListener('DOMContentLoaded', () => {\n"
             "  document.getElementById('heading').textContent += ' (ready)';\n"
             "});\n");
  WriteFile(folder / "assets" / "picture.png", std::string(picture_png, sizeof picture_png - 1));
}

std::filesystem::path WritePage(const std::filesystem::path& folder, const std::string& file_name,
                                 const SamplePage& page) {
  std::string html =
      "<!doctype html>\n<html><head><meta charset=\"utf-8\"><title>" + escaped(page.title) +
      "</title>\n<link rel=\"stylesheet\" href=\"assets/report.css\">\n"
      "<script src=\"assets/report.js\"></script></head>\n<body>\n"
      "<h1 id=\"heading\">" + escaped(page.title) + "</h1>\n"
      "<img id=\"picture\" src=\"assets/picture.png\" alt=\"picture\">\n"
      "<p id=\"parsed\"></p>\n"
      "<p><a href=\"#totals\">To the totals</a></p>\n"
      "<script>document.getElementById('parsed').textContent = 'Written while parsing';</script>\n"
      "<table><thead><tr><th>Row</th><th>Name</th><th>Amount</th></tr></thead><tbody>\n";
  for (int row = 1; row <= page.rows; ++row) {
    const std::string name = row == 1 ? page.cell : "Item " + std::to_string(row);
    html += "<tr><td>" + std::to_string(row) + "</td><td>" + escaped(name) + "</td><td>" +
            std::to_string(row * 1234 % 9973) + ".50</td></tr>\n";
  }
  html += "</tbody></table>\n<p id=\"totals\">Totals</p>\n";
  if (!page.link.empty()) html += "<p><a href=\"" + escaped(page.link) + "\">Next page</a></p>\n";
  html +=
      "<script>window.addEventListener('load', () => {\n"
      "  const note = document.createElement('p');\n"
      "  note.textContent = 'Written on load';\n"
      "  document.body.appendChild(note);\n"
      "});</script>\n</body></html>\n";
  const auto file = folder / file_name;
  WriteFile(file, html);
  return file;
}

std::filesystem::path WriteCover(const std::filesystem::path& folder, const std::string& title,
                                  const std::string& time) {
  const auto file = folder / "cover.html";
  WriteFile(file,
             "<!doctype html>\n<html><head><meta charset=\"utf-8\"><title>" + escaped(title) +
                 "</title><style>\n"
                 "body { font-family: 'DejaVu Sans', sans-serif; text-align: center; }\n"
                 "h1 { font-size: 40pt; margin-top: 35vh; }\n"
                 "p { font-size: 14pt; color: #555; }\n"
                 "</style></head>\n<body><h1>" + escaped(title) + "</h1><p>Exported " + escaped(time) +
                 "</p></body></html>\n");
  return file;
}

}  // namespace zarel::pdf::samples
