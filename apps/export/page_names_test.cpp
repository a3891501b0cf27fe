// Tests of the export's file names and of the files a page names: slugs of
// tree paths (readable, stable, unique, never leaving the pages' folder,
// bounded in length), HTML escaping, and the relative names a page's
// attributes, style rules and scripts give, hostile ones left out.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "apps/export/page_files.h"
#include "apps/export/page_names.h"
#include "zarel/testing/files.h"

namespace zarel::site_export {
namespace {

TEST(PathSlug, IsAReadableNameOfThePathBelowTheRoot) {
  const struct {
    std::string path;
    std::string slug;
  } cases[] = {
      {"Brightwater Supplies", "brightwater-supplies"},
      {"Shop\\Genres\\Fiction", "genres.fiction"},
      {"Shop\\Regions\\South\\O'Brien & Daughters Bakery", "regions.south.o-brien-daughters-bakery"},
      {"Shop\\Caf\xC3\xA9 cr\xC3\xA8me \xC3\x86sir \xC3\x9F", "cafe-creme-aesir-ss"},
      {"Shop\\  --Order #1002--  ", "order-1002"},
      {"Shop\\\xE6\x97\xA5\xE6\x9C\xAC Tokyo", "tokyo"},          // letters without a plain form
      {"Shop\\\xE6\x97\xA5\xE6\x9C\xAC", "node"},                 // nothing left
      {"Shop\\..\\..\\etc\\passwd", "node.node.etc.passwd"},      // cannot climb
      {"Shop\\a/b\\c:d", "a-b.c-d"},
      {"Shop\\", "node"},
      {"Shop\\\xC3", "node"},                                     // a cut UTF-8 sequence
  };
  for (const auto& one : cases) {
    EXPECT_EQ(PathSlug(one.path), one.slug) << one.path;
    for (const char c : PathSlug(one.path)) {
      EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.') << one.path;
    }
  }
}

TEST(PathSlug, LongPathsEndInAHashOfTheWholePath) {
  const std::string level(80, 'x');
  const std::string a = "Root\\" + level + "\\" + level + "\\a";
  const std::string b = "Root\\" + level + "\\" + level + "\\b";
  EXPECT_EQ(PathSlug(a).size(), kMaxSlugLength);
  EXPECT_NE(PathSlug(a), PathSlug(b));
  EXPECT_EQ(PathSlug(a), PathSlug(a));  // the same from one export to the next
}

TEST(PageNames, GiveEveryPathANameNoOtherHas) {
  PageNames names;
  EXPECT_EQ(names.NameFor("Shop\\Products\\Pear"), "products.pear.html");
  EXPECT_EQ(names.NameFor("Shop\\Products\\Pear"), "products.pear-2.html");  // two nodes, one text
  EXPECT_EQ(names.NameFor("Shop\\Products\\PEAR"), "products.pear-3.html");  // case-blind file systems
  EXPECT_EQ(names.NameFor("Shop\\Products\\Pear-2"), "products.pear-2-2.html");
  EXPECT_EQ(names.NameFor("Shop"), "shop.html");
}

TEST(HtmlEscape, WritesMarkupAsText) {
  EXPECT_EQ(HtmlEscape("<b class=\"x\">O'Brien & Co</b>"),
            "&lt;b class=&quot;x&quot;&gt;O&#39;Brien &amp; Co&lt;/b&gt;");
}

TEST(RelativeReferences, KeepsTheFilesAPageNamesInsideItsFolder) {
  const std::string html =
      "<p class=ph><img src='circle.gif'> <IMG SRC=plus.gif alt=\"+\">"
      "<td background=\"cbg.gif\"><a href=\"other%20page.html#top\">x</a>"
      "<a href='https://zarel.dev' target=_blank>site</a><a href=\"mailto:a@b.c\">m</a>"
      "<a href=\"#here\">h</a><img src=\"/etc/passwd\"><img src=\"../../secret.gif\">"
      "<img src=\"sub/./deep.gif?v=2\"><img src=\"javascript:alert(1)\"><img src=\"\\\\host\\x.gif\">"
      "<img src='circle.gif'><div style=\"background: url( 'bar.png' )\"></div>"
      "<script src=\"shape.js\">\n  expander.src = open ? 'minus.gif' : 'plus.gif';\n"
      "  if (a.href = b) {}\n</script><a href=sub/../after.html>z</a>";
  const PageReferences found = RelativeReferences(html);
  EXPECT_EQ(found.named, (std::vector<std::string>{"circle.gif", "plus.gif", "cbg.gif", "other page.html",
                                                   "sub/deep.gif", "bar.png", "shape.js", "after.html"}));
  EXPECT_EQ(found.quoted, (std::vector<std::string>{"minus.gif"}));
}

TEST(FindInside, CopiesOnlyRegularFilesWhoseRealPathIsInside) {
  testing::TempFolder folder;
  namespace fs = std::filesystem;
  const fs::path site = folder.PathOf("site");
  fs::create_directories(site / "sub");
  std::ofstream(site / "a.gif") << "GIF";
  std::ofstream(folder.PathOf("outside.gif")) << "secret";
  fs::create_symlink(folder.PathOf("outside.gif"), site / "link.gif");
  fs::create_symlink(site / "a.gif", site / "sub" / "inner.gif");
  EXPECT_EQ(FindInside({site}, "a.gif"), fs::canonical(site / "a.gif"));
  EXPECT_EQ(FindInside({site}, "link.gif"), std::nullopt);  // points out of the folder
  EXPECT_EQ(FindInside({site}, "sub/inner.gif"), fs::canonical(site / "a.gif"));
  EXPECT_EQ(FindInside({site}, "sub"), std::nullopt);       // a folder
  EXPECT_EQ(FindInside({site}, "none.gif"), std::nullopt);
  EXPECT_EQ(FindInside({folder.PathOf("none"), site}, "a.gif"), fs::canonical(site / "a.gif"));
}

}  // namespace
}  // namespace zarel::site_export
