// Tests of zarel export: the demo exported, every node of the crawl with its
// page and every link and picture of the export resolving inside it
// (checked by a scan of our own, not by the code that wrote them); a failing
// node listed with exit status 1; the folder rules (nothing changed in a
// folder that is not an export, an earlier export replaced); the PDF's
// sheets, bookmarks and a grid cell's text read back with poppler and qpdf;
// Chromium missing named before anything is crawled.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>

#include "apps/crawl/site_crawl.h"
#include "apps/pdf/pdf_test_support.h"
#include "apps/testing/run_zarel.h"
#include "zarel/testing/engine_rig.h"
#include "zarel/testing/files.h"
#include "zarel/testing/shop_site.h"

namespace zarel {
namespace {

namespace fs = std::filesystem;
using testing::CommandRun;
using testing::Insert;
using testing::Zarel;

constexpr const char* kNow = "2026-12-05 14:05:09";

// The shop of the command tests, its front page with a picture.
std::vector<std::string> Shop() {
  std::vector<std::string> site = testing::ShopSite();
  site.push_back(Insert("XScr", "1, 'front', '<html><body><h1>Shop</h1><img src=\"logo.gif\"></body></html>'"));
  return site;
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

// The site folder of the shop: the pictures its pages name.
std::string ShopFolder(const testing::TempFolder& folder) {
  const std::string site = folder.PathOf("site");
  for (const char* name : {"circle.gif", "logo.gif", "tree2.gif"}) WriteBytes(fs::path(site) / name, "GIF89a");
  return site;
}

// Every address an HTML file names in src, href or background attributes
// and in url( ), script bodies left out (they are code).
std::vector<std::string> Addresses(const std::string& html) {
  static const std::regex script(R"(<script\b([^>]*)>[\s\S]*?</script>)", std::regex::icase);
  const std::string without_scripts = std::regex_replace(html, script, "<script$1></script>");
  static const std::regex attribute(
      R"re(\b(?:src|href|background)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>"']+))|url\(\s*['"]?([^'")]*)['"]?\s*\))re",
      std::regex::icase);
  std::vector<std::string> found;
  for (auto match = std::sregex_iterator(without_scripts.begin(), without_scripts.end(), attribute);
       match != std::sregex_iterator(); ++match) {
    for (std::size_t group = 1; group <= 4; ++group) {
      if ((*match)[group].matched) found.push_back((*match)[group].str());
    }
  }
  return found;
}

// What in the export names something that is not a file inside OUT: one
// line per broken address. Web links (https:, mailto:) in anchors are
// allowed; they leave the export only when a reader follows them.
std::vector<std::string> BrokenAddresses(const fs::path& out) {
  std::vector<std::string> broken;
  const fs::path root = fs::canonical(out);
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.path().extension() != ".html") continue;
    const std::string html = testing::ReadFile(entry.path().string());
    for (std::string address : Addresses(html)) {
      if (address.rfind("https:", 0) == 0 || address.rfind("mailto:", 0) == 0) {
        if (html.find("href=\"" + address) == std::string::npos &&
            html.find("href='" + address) == std::string::npos) {
          broken.push_back(entry.path().string() + ": a picture or file from the web: " + address);
        }
        continue;
      }
      address = address.substr(0, address.find_first_of("?#"));
      if (address.empty()) continue;  // an in-page link
      std::string decoded;
      for (std::size_t i = 0; i < address.size(); ++i) {
        if (address[i] == '%' && i + 2 < address.size()) {
          decoded += static_cast<char>(std::stoi(address.substr(i + 1, 2), nullptr, 16));
          i += 2;
        } else {
          decoded += address[i];
        }
      }
      std::error_code error;
      const fs::path target = fs::weakly_canonical(entry.path().parent_path() / decoded, error);
      const std::string relative = target.lexically_relative(root).string();
      if (error || relative.empty() || relative.rfind("..", 0) == 0 || !fs::is_regular_file(target)) {
        broken.push_back(entry.path().string() + ": " + address);
      }
    }
  }
  return broken;
}

// The paths of the nodes a crawl of the site opened, with whether each
// showed a page.
std::map<std::string, bool> CrawledPaths(const std::string& connection) {
  struct Collect : crawl::CrawlObserver {
    std::map<std::string, bool> paths;
    void Visited(const crawl::VisitedNode& node) override { paths[node.path] = !node.page.empty(); }
  } collect;
  testing::TempFolder pages;
  crawl::CrawlOptions options;
  options.connection = connection;
  options.folder = pages.Path();
  crawl::CrawlSite(options, collect);
  return collect.paths;
}

// The tree of index.html: each node's data-path and the page its link opens
// ("" for a node without one).
std::map<std::string, std::string> IndexTree(const fs::path& out) {
  const std::string html = testing::ReadFile((out / "index.html").string());
  static const std::regex item(
      R"re(<li role="treeitem" data-path="([^"]*)"[^>]*><div class="node">.*?(?:<a class="label" target="report" href="([^"]*)"|<span class="label"))re");
  std::map<std::string, std::string> tree;
  for (auto match = std::sregex_iterator(html.begin(), html.end(), item); match != std::sregex_iterator();
       ++match) {
    std::string path = std::regex_replace((*match)[1].str(), std::regex("&#39;"), "'");
    path = std::regex_replace(path, std::regex("&amp;"), "&");
    tree[path] = (*match)[2].str();
  }
  return tree;
}

TEST(ExportCommand, TheDemoHasAPagePerNodeAndEveryAddressResolvesInsideTheExport) {
  testing::TempFolder folder;
  ASSERT_EQ(Zarel({"demo", folder.PathOf("demo")}).status, 0);
  const std::string connection = "sqlite:" + folder.PathOf("demo/demo.db");
  const fs::path out = folder.PathOf("out");
  const CommandRun run = Zarel({"export", connection, "--folder", folder.PathOf("demo/site"), "--out",
                                out.string(), "--now", kNow});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("zarel export took "), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("missing file"), std::string::npos) << run.out;

  const std::map<std::string, bool> crawled = CrawledPaths(connection);
  const std::map<std::string, std::string> tree = IndexTree(out);
  ASSERT_GT(crawled.size(), 150u);
  EXPECT_EQ(tree.size(), crawled.size());
  std::set<std::string> pages;
  for (const auto& [path, showed_page] : crawled) {
    const auto found = tree.find(path);
    ASSERT_NE(found, tree.end()) << path;
    EXPECT_EQ(!found->second.empty(), showed_page) << path;
    if (!showed_page) continue;
    EXPECT_TRUE(fs::is_regular_file(out / found->second)) << path;
    EXPECT_TRUE(pages.insert(found->second).second) << "two nodes share " << found->second;
  }
  // Each page once, and nothing else in pages/ that is a page.
  std::size_t html_files = 0;
  for (const auto& entry : fs::directory_iterator(out / "pages")) html_files += entry.path().extension() == ".html";
  EXPECT_EQ(html_files, pages.size());
  EXPECT_EQ(tree.at("Brightwater Supplies\\Regions\\South\\O'Brien & Daughters Bakery"),
            "pages/regions.south.o-brien-daughters-bakery.html");

  EXPECT_EQ(BrokenAddresses(out), std::vector<std::string>());
  // The pages are the pages users see: the export's time in the index, the
  // fixed clock in the page dates, the shape script inside its page.
  EXPECT_NE(testing::ReadFile((out / "index.html").string()).find("Exported 2026-12-05 14:05:09"), std::string::npos);
  const std::string order_book = testing::ReadFile((out / "pages/sales.order-book.html").string());
  EXPECT_NE(order_book.find("05 Dec 2026"), std::string::npos);
  EXPECT_NE(order_book.find("DTL"), std::string::npos);
  EXPECT_TRUE(fs::is_regular_file(out / "pages/minus.gif"));  // named only by the shape script
  EXPECT_TRUE(fs::is_regular_file(out / ".zarel-export"));
}

TEST(ExportCommand, AFailingNodeIsListedAndTheExportExitsOne) {
  testing::TempFolder folder;
  auto database = testing::CreateSQLiteDatabase(folder.Path());
  std::vector<std::string> site = Shop();
  site.push_back(Insert("XNav", "7, 'Broken', 'leaf', 1, NULL, NULL, NULL, NULL"));
  site.push_back(Insert("XWeb", "5, 7, 1, 'Totals', 'NoSuchProcedure', NULL, 'table', '0', NULL"));
  database->Run(site);
  const fs::path out = folder.PathOf("out");
  const CommandRun run = Zarel({"export", database->ConnectionString(), "--folder", ShopFolder(folder),
                                "--out", out.string()});
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.err.find("failed: Shop\\Broken: Unable to Access Data for the SQL : EXEC NoSuchProcedure"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("zarel export: 1 page failed to compose\n"), std::string::npos) << run.err;
  // The rest is exported all the same, the failed page as users see it.
  EXPECT_TRUE(fs::is_regular_file(out / "pages/products.pear.html"));
  EXPECT_TRUE(fs::is_regular_file(out / "pages/broken.html"));
  const std::map<std::string, std::string> tree = IndexTree(out);
  EXPECT_EQ(tree.at("Shop\\Staff only"), "");  // refused to role 0: no page
  EXPECT_EQ(tree.at("Shop"), "pages/shop.html");
  EXPECT_EQ(BrokenAddresses(out), std::vector<std::string>());
  EXPECT_TRUE(fs::is_regular_file(out / "pages/tree2.gif"));
}

TEST(ExportCommand, WritesOnlyANewOrEmptyFolderOrAnEarlierExport) {
  testing::TempFolder folder;
  auto database = testing::CreateSQLiteDatabase(folder.Path());
  database->Run(Shop());
  const std::string site = ShopFolder(folder);
  const auto run = [&](const std::string& out, std::vector<std::string> more = {}) {
    std::vector<std::string> arguments = {"export", database->ConnectionString(), "--folder", site, "--out", out};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return Zarel(arguments);
  };
  // A folder holding other files: refused before anything is crawled.
  const fs::path mine = folder.PathOf("mine");
  WriteBytes(mine / "thesis.txt", "years of work");
  CommandRun refused = run(mine.string());
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("holds files that are not an earlier export"), std::string::npos) << refused.err;
  EXPECT_EQ(testing::ReadFile((mine / "thesis.txt").string()), "years of work");
  EXPECT_EQ(std::distance(fs::directory_iterator(mine), fs::directory_iterator()), 1);
  // A file where the folder should be; a folder whose parent is missing.
  EXPECT_EQ(run((mine / "thesis.txt").string()).status, 1);
  EXPECT_EQ(run(folder.PathOf("no/such/out")).status, 1);
  EXPECT_FALSE(fs::exists(folder.PathOf("no")));

  // An empty folder is filled; an earlier export is replaced whole.
  const fs::path out = folder.PathOf("out");
  fs::create_directories(out);
  ASSERT_EQ(run(out.string()).status, 0);
  WriteBytes(out / "pages/stale.html", "from an earlier export");
  const CommandRun again = run(out.string());
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_FALSE(fs::exists(out / "pages/stale.html"));
  EXPECT_TRUE(fs::is_regular_file(out / "index.html"));
  // Nothing is left beside it.
  for (const auto& entry : fs::directory_iterator(folder.Path())) {
    EXPECT_EQ(entry.path().filename().string().find(".partial-"), std::string::npos) << entry.path();
    EXPECT_EQ(entry.path().filename().string().find(".old-"), std::string::npos) << entry.path();
  }

  // A database that cannot be opened: the driver's reason, nothing written.
  const CommandRun no_database =
      Zarel({"export", "sqlite:" + folder.PathOf("none.db"), "--folder", site, "--out", folder.PathOf("out2")});
  EXPECT_EQ(no_database.status, 1);
  EXPECT_NE(no_database.err.find("zarel: cannot open the report database: "), std::string::npos);
  EXPECT_FALSE(fs::exists(folder.PathOf("out2")));

  // Usage errors.
  EXPECT_EQ(Zarel({"export", database->ConnectionString(), "--folder", site}).status, 2);
  EXPECT_EQ(Zarel({"export", database->ConnectionString(), "--out", out.string()}).status, 2);
  EXPECT_EQ(run(out.string(), {"--max-nodes", "0"}).status, 2);
  EXPECT_EQ(run(out.string(), {"--now", "yesterday"}).status, 2);
  for (const char* parallel : {"0", "17", "-1", "two"})
    EXPECT_EQ(run(out.string(), {"--pdf-parallel", parallel}).status, 2) << parallel;
  for (const char* together : {"0", "1001", "-1", "all"})
    EXPECT_EQ(run(out.string(), {"--pdf-together", together}).status, 2) << together;
}

TEST(ExportCommand, WithoutChromiumThePdfFailsNamingThePackageBeforeTheCrawl) {
  testing::TempFolder folder;
  auto database = testing::CreateSQLiteDatabase(folder.Path());
  database->Run(Shop());
  const CommandRun run = Zarel({"export", database->ConnectionString(), "--folder", ShopFolder(folder), "--out",
                                folder.PathOf("out"), "--pdf", folder.PathOf("shop.pdf"), "--browser",
                                folder.PathOf("no-chromium")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("install Debian's package chromium (apt-get install chromium)"), std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(folder.PathOf("out")));
  EXPECT_FALSE(fs::exists(folder.PathOf("shop.pdf")));
}

TEST(ExportCommand, ThePdfHasTheCoverThePagesInTreeOrderAndBookmarksThatFollowTheTree) {
  testing::TempFolder folder;
  auto database = testing::CreateSQLiteDatabase(folder.Path());
  database->Run(Shop());
  const std::string site = ShopFolder(folder);
  // The same book whether the pages print one by one and one at a time,
  // together in print jobs side by side (the default) or with more tabs than
  // print jobs.
  for (const auto& parallel :
       {std::vector<std::string>{"--pdf-parallel", "1", "--pdf-together", "1"}, std::vector<std::string>{},
        std::vector<std::string>{"--pdf-parallel", "16"}}) {
    SCOPED_TRACE(parallel.empty() ? "default" : parallel[1]);
    const std::string name = parallel.empty() ? "default" : parallel[1];
    const fs::path pdf = folder.PathOf("shop-" + name + ".pdf");
    std::vector<std::string> arguments = {"export", database->ConnectionString(), "--folder", site, "--out",
                                          folder.PathOf("out-" + name), "--pdf", pdf.string(), "--now", kNow};
    arguments.insert(arguments.end(), parallel.begin(), parallel.end());
    const CommandRun run = Zarel(arguments);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("printed 6 pages to "), std::string::npos) << run.out;
    // The cover and six pages of one sheet each (Staff only shows no page to
    // role 0); the cover names the site and the time of the export.
    EXPECT_EQ(pdf::testing::PageCount(pdf), 7);
    EXPECT_EQ(pdf::testing::DocumentTitle(pdf), "Shop");
    const std::string cover = pdf::testing::PageText(pdf, 1);
    EXPECT_NE(cover.find("Shop"), std::string::npos) << cover;
    EXPECT_NE(cover.find("Exported 2026-12-05 14:05:09"), std::string::npos) << cover;
    // The bookmarks: the tree, in its order; a node without a page opens
    // where its next page is.
    EXPECT_EQ(pdf::testing::OutlineText(pdf),
              "Shop -> 2 (open)\n"
              "  Products -> 3\n"
              "    Apple -> 4\n"
              "    Pear -> 5\n"
              "  Staff only -> none\n"
              "  Reports -> 6\n"
              "    Sales -> 7\n");
    // A grid cell's text on its own sheet.
    const std::string sales = pdf::testing::PageText(pdf, 7);
    EXPECT_NE(sales.find("2026-02"), std::string::npos) << sales;
    EXPECT_NE(sales.find("45"), std::string::npos) << sales;
    EXPECT_NE(pdf::testing::PageText(pdf, 5).find("Pear"), std::string::npos);
  }
}

}  // namespace
}  // namespace zarel
