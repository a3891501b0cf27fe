// Printing HTML files with the real browser (Debian's chromium) and with a
// stand-in that misbehaves on purpose; results checked with poppler's tools.
#include "apps/pdf/pdf_printer.h"

#include "apps/pdf/pdf_sample_pages.h"
#include "apps/pdf/pdf_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>

namespace zarel::pdf {
namespace {

using testing::TempFolder;
namespace fs = std::filesystem;

std::string PrintFailure(const std::function<void()>& action) {
  try {
    action();
  } catch (const PrintError& failed) {
    return failed.what();
  }
  return "no error";
}

// Processes whose command line mentions `text` (the browser and its helpers
// carry their profile folder there).
int ProcessesMentioning(const std::string& text) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::ifstream in(entry.path() / "cmdline", std::ios::binary);
    const std::string line{std::istreambuf_iterator<char>(in), {}};
    if (!line.empty() && line.find(text) != std::string::npos) ++count;
  }
  return count;
}

PrintOptions FakeOptions(const fs::path& folder, const std::string& scenario) {
  PrintOptions options;
  options.browser = testing::FakeBrowser(folder, scenario);
  options.start_timeout = std::chrono::seconds(2);
  options.page_timeout = std::chrono::seconds(1);
  return options;
}

TEST(PdfPrinter, PrintsAPageAfterItsScriptsRanAndItsPictureLoaded) {
  TempFolder folder;
  samples::WriteAssets(folder.path());
  const auto page = samples::WritePage(folder.path(), "page.html", {"Sales «2024»", "Café »", 5, ""});
  PdfPrinter printer;
  const auto pdf = folder.path() / "page.pdf";
  testing::WriteBytes(pdf, printer.Print(page));

  EXPECT_EQ(testing::PageCount(pdf), 1);
  const auto text = testing::PageText(pdf, 1);
  for (const char* expected : {"Sales «2024» (ready)", "Written while parsing", "Café »", "Item 5", "Written on load"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << " missing from:\n" << text;
  EXPECT_EQ(testing::pictures(pdf, 1), std::vector<std::string>{"24x12"});
}

TEST(PdfPrinter, ALongTableRunsOverSeveralSheets) {
  TempFolder folder;
  samples::WriteAssets(folder.path());
  const auto page = samples::WritePage(folder.path(), "long.html", {"Long", "First name", 150, ""});
  PdfPrinter printer;
  const auto pdf = folder.path() / "long.pdf";
  testing::WriteBytes(pdf, printer.Print(page));

  const int sheets = testing::PageCount(pdf);
  EXPECT_GE(sheets, 3);
  EXPECT_NE(testing::PageText(pdf, 1).find("First name"), std::string::npos);
  EXPECT_NE(testing::PageText(pdf, sheets).find("Item 150"), std::string::npos);
  EXPECT_EQ(testing::PageText(pdf, sheets).find("First name"), std::string::npos);
}

TEST(PdfPrinter, PrintsFilesWhoseNamesNeedEscapingInAnAddressAndTheSameFileAgain) {
  TempFolder folder;
  samples::WriteAssets(folder.path());
  PdfPrinter printer;
  // The same file twice in a row is a new navigation too.
  for (const std::string name : {"a b.html", "a b.html", "hash#and?query.html", "100%.html", "Ünïcødé ».html"}) {
    const auto page = samples::WritePage(folder.path(), name, {name, "cell of " + name, 2, ""});
    const auto pdf = folder.path() / "out.pdf";
    testing::WriteBytes(pdf, printer.Print(page));
    EXPECT_NE(testing::PageText(pdf, 1).find("cell of " + name), std::string::npos) << name;
  }
}

TEST(PdfPrinter, FailedPagesAreReportedAndTheOthersStillPrintInOrder) {
  TempFolder folder;
  samples::WriteAssets(folder.path());
  std::vector<fs::path> pages;
  for (int i = 1; i <= 5; ++i)
    pages.push_back(samples::WritePage(folder.path(), "p" + std::to_string(i) + ".html",
                                        {"Page " + std::to_string(i), "cell " + std::to_string(i), 3, ""}));
  // A page whose script never ends never finishes loading.
  samples::WriteFile(folder.path() / "loops.html", "<!doctype html><p>Looping</p><script>for (;;) {}</script>");
  pages.insert(pages.begin() + 1, folder.path() / "loops.html");
  pages.insert(pages.begin() + 3, folder.path() / "missing.html");

  PrintOptions options;
  // Long enough for a page on a busy machine, short enough for the test.
  options.page_timeout = std::chrono::seconds(15);
  // Two at a time: the looping page must not hold up the one beside it.
  options.parallel = 2;
  PdfPrinter printer(options);
  // Opening the two tabs takes a while on a busy machine: not part of the
  // time a page has.
  for (const auto& warm : printer.PrintAll({pages[0], pages[2]})) ASSERT_EQ(warm.error, "");
  std::vector<std::size_t> heard;
  const auto printed = printer.PrintAll(pages, [&](std::size_t done, std::size_t total) {
    EXPECT_EQ(total, 7u);
    heard.push_back(done);
  });

  ASSERT_EQ(printed.size(), 7u);
  EXPECT_EQ(heard, (std::vector<std::size_t>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(printed[1].error, "cannot print " + pages[1].string() + ": it did not load and print within 15 s");
  EXPECT_EQ(printed[3].error, "cannot print " + pages[3].string() + ": there is no such file");
  int page = 0;
  for (std::size_t i : {0, 2, 4, 5, 6}) {
    ++page;
    ASSERT_EQ(printed[i].error, "") << i;
    const auto pdf = folder.path() / "out.pdf";
    testing::WriteBytes(pdf, printed[i].pdf);
    EXPECT_NE(testing::PageText(pdf, 1).find("cell " + std::to_string(page)), std::string::npos) << i;
  }
}

TEST(PdfPrinter, PagesReadOnlyFilesInTheFolderTheyMayReadFrom) {
  TempFolder folder;
  const auto site = folder.path() / "site";
  samples::WriteAssets(site);
  samples::WriteFile(folder.path() / "secret.html", "<p>TOP SECRET</p>");
  fs::create_symlink(folder.path() / "secret.html", site / "linked.html");
  const auto page = site / "page.html";
  samples::WriteFile(page,
                      "<!doctype html><p>Own text</p><img src=\"assets/picture.png\">"
                      "<iframe src=\"../secret.html\"></iframe><iframe src=\"linked.html\"></iframe>"
                      "<iframe src=\"file:///etc/hostname\"></iframe>");
  const auto pdf = folder.path() / "page.pdf";
  {
    // Unguarded, the page shows what it can reach.
    PdfPrinter printer;
    testing::WriteBytes(pdf, printer.Print(page));
    EXPECT_NE(testing::PageText(pdf, 1).find("TOP SECRET"), std::string::npos);
  }
  PrintOptions options;
  options.only_files_in = site;
  PdfPrinter printer(options);
  testing::WriteBytes(pdf, printer.Print(page));
  const auto text = testing::PageText(pdf, 1);
  EXPECT_NE(text.find("Own text"), std::string::npos) << text;
  EXPECT_EQ(text.find("TOP SECRET"), std::string::npos) << text;
  // The page's own picture (the refused frames show the browser's error icon).
  const auto shown = testing::pictures(pdf, 1);
  EXPECT_EQ(std::count(shown.begin(), shown.end(), "24x12"), 1);
  for (const auto& outside : {folder.path() / "secret.html", site / "linked.html"})
    EXPECT_EQ(PrintFailure([&] { printer.Print(outside); }),
              "cannot print " + outside.string() + ": Chromium could not open it (net::ERR_ACCESS_DENIED)");
  options.only_files_in = folder.path() / "absent";
  EXPECT_EQ(PrintFailure([&] { PdfPrinter refused(options); }),
            "cannot print from " + options.only_files_in.string() + ": there is no such folder");
}

TEST(PdfPrinter, LeavesNoProcessOrProfileFolderBehind) {
  TempFolder folder;
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", folder.path().c_str(), 1);
  {
    PdfPrinter printer;
    EXPECT_GT(ProcessesMentioning(folder.path().string()), 0);
    EXPECT_NE(printer.BrowserVersion().find("Chrome/"), std::string::npos) << printer.BrowserVersion();
  }
  if (old) ::setenv("TMPDIR", saved.c_str(), 1);
  else ::unsetenv("TMPDIR");
  EXPECT_EQ(ProcessesMentioning(folder.path().string()), 0);
  EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST(PdfPrinter, SaysWhichPackageToInstallWhenThereIsNoBrowser) {
  TempFolder folder;
  const auto empty = folder.path() / "bin";
  fs::create_directories(empty);
  testing::WriteBytes(folder.path() / "not-a-program", "text");
  const std::string install = "install Debian's package chromium (apt-get install chromium)";
  EXPECT_EQ(PrintFailure([&] { FindBrowser("", {folder.path() / "no-such"}, empty.string() + "::/nowhere"); }),
            "printing to PDF needs Chromium, which is not installed: " + install);
  EXPECT_EQ(PrintFailure([&] { FindBrowser(folder.path() / "absent", {}, ""); }),
            "there is no browser program at " + (folder.path() / "absent").string() +
                "; name Chromium's program or " + install);
  EXPECT_EQ(PrintFailure([&] { FindBrowser(folder.path() / "not-a-program", {}, ""); }),
            "there is no browser program at " + (folder.path() / "not-a-program").string() +
                "; name Chromium's program or " + install);
  const auto found = testing::FakeBrowser(empty, "ok");
  fs::rename(found, empty / "chromium");
  EXPECT_EQ(FindBrowser("", {folder.path() / "no-such"}, "/nowhere:" + empty.string()), empty / "chromium");

  PrintOptions options;
  options.browser = folder.path() / "absent";
  EXPECT_NE(PrintFailure([&] { PdfPrinter printer(options); }).find(install), std::string::npos);
}

TEST(PdfPrinter, ABrowserThatCannotStartIsReportedWithWhatItSaid) {
  TempFolder folder;
  struct Case {
    std::string scenario;
    std::string error;
  };
  const auto name = [&](const std::string& scenario) { return (folder.path() / ("fake-browser-" + scenario)).string(); };
  for (const Case& test : std::vector<Case>{
           {"exit-at-start", "could not start: it exited with status 3; its log ends with: fake browser: cannot open the display"},
           {"silent", "did not answer within 2 s"},
           {"not-json", "does not speak the DevTools protocol: a message that is not a JSON object"},
       }) {
    const auto started = std::chrono::steady_clock::now();
    const auto error = PrintFailure([&] { PdfPrinter printer(FakeOptions(folder.path(), test.scenario)); });
    EXPECT_EQ(error.rfind("Chromium (" + name(test.scenario) + ") ", 0), 0u) << error;
    EXPECT_NE(error.find(test.error), std::string::npos) << error;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8)) << test.scenario;
    EXPECT_EQ(ProcessesMentioning("--scenario=" + test.scenario), 0) << test.scenario;
  }
}

TEST(PdfPrinter, AMisbehavingBrowserFailsThePageNotTheProgram) {
  TempFolder folder;
  const auto page = folder.path() / "page.html";
  testing::WriteBytes(page, "<p>page</p>");
  const std::string prefix = "cannot print " + page.string() + ": ";
  struct Case {
    std::string scenario;
    std::string first;   // the error printing the page gives
    std::string second;  // and printing it again
  };
  for (const Case& test : std::vector<Case>{
           {"renderer-crash", "the page crashed Chromium's renderer", "the page crashed Chromium's renderer"},
           {"refuse-print", "Chromium said \"Printing failed\"", "Chromium said \"Printing failed\""},
           {"garbage-data", "the browser sent a PDF that is not valid base64", "the browser sent a PDF that is not valid base64"},
           {"no-load", "it did not load and print within 1 s", "it did not load and print within 1 s"},
           {"crash-on-navigate", "Chromium quit (the browser closed its pipe): it was killed by signal 9 (Killed)",
            "Chromium quit (the browser closed its pipe): it was killed by signal 9 (Killed)"},
           {"hang-after-navigate", "it did not load and print within 1 s", "Chromium stopped answering"},
       }) {
    PdfPrinter printer(FakeOptions(folder.path(), test.scenario));
    EXPECT_EQ(PrintFailure([&] { printer.Print(page); }), prefix + test.first) << test.scenario;
    EXPECT_EQ(PrintFailure([&] { printer.Print(page); }), prefix + test.second) << test.scenario;
  }
}

TEST(PdfPrinter, PagesPrintedSeveralAtOnceComeBackInTheirOrder) {
  TempFolder folder;
  std::vector<fs::path> pages;
  for (int i = 0; i < 9; ++i) {
    pages.push_back(folder.path() / ("page-" + std::to_string(i) + ".html"));
    testing::WriteBytes(pages.back(), "<p>page</p>");
  }
  for (std::size_t parallel : {1u, 2u, 4u}) {
    auto options = FakeOptions(folder.path(), "ok");
    options.parallel = parallel;
    PdfPrinter printer(options);
    const auto printed = printer.PrintAll(pages);
    ASSERT_EQ(printed.size(), pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i) {
      EXPECT_EQ(printed[i].error, "");
      EXPECT_EQ(printed[i].pdf, "%PDF-1.4\n% printed file://" + pages[i].string() + "\n") << parallel;
    }
    // Each tab is opened once and then goes from page to page.
    EXPECT_EQ(printer.Times().tabs_opened, parallel);
    EXPECT_TRUE(printer.PrintAll({}).empty());
  }
}

}  // namespace
}  // namespace zarel::pdf
