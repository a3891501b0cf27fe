// The export's index page (see export_index.h).
#include "apps/export/export_index.h"

#include "apps/export/export_assets.h"
#include "apps/export/page_names.h"
#include "zarel/hostkit/tree_images.h"

namespace zarel::site_export {

namespace {

// The symbol the web host draws for a node without a picture: by the kind
// in its tag ("3»variable": v), or the network globe of the root's "Net".
std::string IconClass(const ExportedNode& node) {
  if (node.image == "Net") return "icon net";
  const std::size_t separator = node.tag.find("\xC2\xBB");
  char kind = separator == std::string::npos || separator + 2 >= node.tag.size()
                  ? 'x'
                  : node.tag[separator + 2];
  if (kind >= 'A' && kind <= 'Z') kind = static_cast<char>(kind - 'A' + 'a');
  if (kind != 'f' && kind != 'v' && kind != 't' && kind != 'l') kind = 'x';
  return std::string("icon kind-") + kind;
}

void WriteNode(const std::vector<ExportedNode>& nodes, std::size_t index, std::size_t depth,
               std::string& html) {
  const ExportedNode& node = nodes[index];
  const bool branch = !node.children.empty();
  const bool open = depth == 0;
  html += "<li role=\"treeitem\" data-path=\"" + HtmlEscape(node.path) + "\" aria-selected=\"" +
          (depth == 0 ? "true" : "false") + "\"";
  if (branch) html += std::string(" aria-expanded=\"") + (open ? "true" : "false") + "\"";
  html += "><div class=\"node\">";
  html += std::string("<button type=\"button\" tabindex=\"-1\" class=\"expander") +
          (branch ? "" : " none") + "\" aria-label=\"" + (open ? "Collapse" : "Expand") + "\">" +
          (open ? "\xE2\x96\xBE" : "\xE2\x96\xB8") + "</button>";
  if (!node.image_file.empty()) {
    html += "<img class=\"icon\" alt=\"\" src=\"pages/" + HtmlEscape(node.image_file) + "\">";
  } else {
    html += "<span class=\"" + IconClass(node) + "\"></span>";
  }
  const std::string style = " style=\"color:" + HtmlColour(node.fore_color) + "\"";
  if (!node.page.empty()) {
    html += "<a class=\"label\" target=\"report\" href=\"" + std::string(kPagesFolder) + "/" +
            HtmlEscape(node.page) + "\"" + style + ">" + HtmlEscape(node.text) + "</a>";
  } else {
    html += "<span class=\"label\" title=\"This node shows no page\"" + style + ">" +
            HtmlEscape(node.text) + "</span>";
  }
  html += "</div>";
  if (branch) {
    html += "\n<ul role=\"group\">\n";
    for (const std::size_t child : node.children) WriteNode(nodes, child, depth + 1, html);
    html += "</ul>";
  }
  html += "</li>\n";
}

// The embedded file at that path below apps/.
std::string_view Embedded(std::string_view name) {
  for (std::size_t i = 0; i < kEmbeddedFileCount; ++i) {
    if (name == kEmbeddedFiles[i].name) {
      return {reinterpret_cast<const char*>(kEmbeddedFiles[i].data), kEmbeddedFiles[i].size};
    }
  }
  return {};
}

}  // namespace

std::string IndexHtml(const std::vector<ExportedNode>& nodes, std::string_view exported_at) {
  const std::string title = nodes.empty() ? std::string("Zarel") : nodes.front().text;
  std::string first_page;
  if (!nodes.empty() && !nodes.front().page.empty()) {
    first_page = std::string(kPagesFolder) + "/" + nodes.front().page;
  }
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>" + HtmlEscape(title) + "</title>\n"
      "<link rel=\"stylesheet\" href=\"zarel.css\">\n<link rel=\"stylesheet\" href=\"export.css\">\n"
      "</head>\n<body>\n<header class=\"toolbar\">\n  <span class=\"brand\">Zarel</span>\n"
      "  <span class=\"site-title\">" + HtmlEscape(title) + "</span>\n"
      "  <span id=\"status\">Exported " + HtmlEscape(exported_at) + "</span>\n</header>\n"
      "<main class=\"panes\">\n<nav id=\"tree\" class=\"tree\" role=\"tree\" aria-label=\"Site\">\n<ul>\n";
  if (!nodes.empty()) WriteNode(nodes, 0, 0, html);
  html += "</ul>\n</nav>\n<section class=\"report-pane\">\n"
          "  <iframe id=\"report\" name=\"report\" title=\"Report\"" +
          (first_page.empty() ? std::string() : " src=\"" + HtmlEscape(first_page) + "\"") +
          "></iframe>\n</section>\n</main>\n<script src=\"export.js\"></script>\n</body>\n</html>\n";
  return html;
}

std::vector<IndexFile> IndexFiles() {
  return {{"zarel.css", Embedded("serve/web/app.css")},
          {"export.css", Embedded("export/web/export.css")},
          {"export.js", Embedded("export/web/export.js")}};
}

}  // namespace zarel::site_export
