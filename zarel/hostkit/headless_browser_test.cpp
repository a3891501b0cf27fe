// Tests of the headless browser: navigation, save as, print and preview.
#include "zarel/hostkit/headless_browser.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "zarel/base/error.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

namespace fs = std::filesystem;

class BrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zarel-browser-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    page_ = PathOf("oReport.htm");
    std::ofstream(page_, std::ios::binary) << "<HTML>\r\nreport\r\n</HTML>\r\n";
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

  fs::path folder_;
  std::string page_;
  std::shared_ptr<HeadlessBrowser> browser_ = HeadlessBrowser::Create();
};

using testing::ReadFile;

// The number and description of the error an action raises.
std::pair<int, std::string> ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const RuntimeError& error) {
    return {error.Number(), error.Description()};
  }
  return {0, ""};
}

TEST_F(BrowserTest, RemembersWhereItWasSent) {
  std::vector<std::string> heard;
  browser_->OnNavigate([&](const std::string& path) { heard.push_back(path); });
  EXPECT_EQ(browser_->LocationPath(), "");
  browser_->Navigate(PathOf("fp.htm"));
  browser_->Navigate(page_);
  EXPECT_EQ(browser_->LocationPath(), page_);
  EXPECT_EQ(browser_->History(), (std::vector<std::string>{PathOf("fp.htm"), page_}));
  EXPECT_EQ(heard, browser_->History());
}

TEST_F(BrowserTest, SaveAsCopiesThePageShown) {
  const std::string expected = ReadFile(page_);
  browser_->Navigate(page_);
  browser_->SaveDestination(PathOf("copy.htm"));
  { std::ofstream(PathOf("copy.htm")) << "older copy, longer than the page itself"; }
  browser_->ExecWB(kCommandSaveAs, kPromptUser);
  EXPECT_EQ(ReadFile(PathOf("copy.htm")), expected);

  fs::create_directory(folder_ / "saved");
  browser_->SaveDestination(PathOf("saved"));
  browser_->ExecWB(kCommandSaveAs, kPromptUser);
  EXPECT_EQ(ReadFile(PathOf("saved/oReport.htm")), expected);
}

TEST_F(BrowserTest, PrinterReceivesPrintAndPreview) {
  std::vector<std::pair<std::int16_t, std::string>> printed;
  browser_->SetPrinter(
      [&](std::int16_t command, const std::string& page) { printed.emplace_back(command, page); });
  browser_->Navigate(page_);
  browser_->ExecWB(kCommandPrint, kPromptUser);
  browser_->ExecWB(kCommandPrintPreview, kPromptUser);
  ASSERT_EQ(printed.size(), 2u);
  EXPECT_EQ(printed[0], std::make_pair(kCommandPrint, page_));
  EXPECT_EQ(printed[1], std::make_pair(kCommandPrintPreview, page_));
}

TEST_F(BrowserTest, CommandsThatCannotRunSayWhy) {
  auto shown = HeadlessBrowser::Create();
  shown->Navigate(page_);
  auto blank = HeadlessBrowser::Create();
  blank->SaveDestination(PathOf("copy.htm"));
  blank->SetPrinter([](std::int16_t, const std::string&) {});
  auto gone = HeadlessBrowser::Create();
  gone->Navigate(PathOf("deleted.htm"));
  gone->SaveDestination(PathOf("copy.htm"));
  auto nowhere = HeadlessBrowser::Create();
  nowhere->Navigate(page_);
  nowhere->SaveDestination(PathOf("missing/copy.htm"));
  struct Case {
    const char* what;
    std::function<void()> action;
    int number;
    std::string description;
  };
  const std::vector<Case> cases = {
      {"save without destination", [&] { shown->ExecWB(kCommandSaveAs, kPromptUser); }, 5,
       "Save as is not available: no save destination"},
      {"save with no page shown", [&] { blank->ExecWB(kCommandSaveAs, kPromptUser); }, 5,
       "Save as is not available: no page shown"},
      {"print without printer", [&] { shown->ExecWB(kCommandPrint, kPromptUser); }, 5,
       "Print is not available: no printer"},
      {"preview without printer", [&] { shown->ExecWB(kCommandPrintPreview, kPromptUser); }, 5,
       "Print preview is not available: no printer"},
      {"print with no page shown", [&] { blank->ExecWB(kCommandPrint, kPromptUser); }, 5,
       "Print is not available: no page shown"},
      {"unknown command", [&] { shown->ExecWB(17, kPromptUser); }, 5,
       "Command 17 is not available: unknown command"},
      {"page shown no longer there", [&] { gone->ExecWB(kCommandSaveAs, kPromptUser); }, 53,
       "File not found: " + PathOf("deleted.htm")},
      {"destination folder missing", [&] { nowhere->ExecWB(kCommandSaveAs, kPromptUser); }, 76,
       "Path not found: " + PathOf("missing/copy.htm")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ErrorOf(c.action), std::make_pair(c.number, c.description));
  }
  EXPECT_FALSE(fs::exists(PathOf("copy.htm")));
}

}  // namespace
}  // namespace zarel
