// Tests of the output text file: line ends, replacing the page before only
// when complete, and errors.
#include "zarel/base/text_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "zarel/base/error.h"
#include "zarel/base/file_system.h"
#include "zarel/testing/faulty_file_system.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

namespace fs = std::filesystem;

class TextFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zarel-text-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

  fs::path folder_;
};

using testing::ReadFile;

using testing::ErrorNumberOf;

TEST_F(TextFileTest, EveryLineEndsInCarriageReturnLineFeed) {
  const std::string path = PathOf("oReport.htm");
  { std::ofstream(path) << "an older and longer page that must go"; }
  TextFile file(path);
  file.WriteLine("<HTML>");
  file.WriteLine("");
  file.WriteLine("caf\xC3\xA9 \xC2\xBB end");
  file.Close();
  file.Close();  // a second Close does nothing
  EXPECT_EQ(ReadFile(path), "<HTML>\r\n\r\ncaf\xC3\xA9 \xC2\xBB end\r\n");
  EXPECT_EQ(ErrorNumberOf([&] { file.WriteLine("late"); }), errc::kPathFileAccessError);
}

TEST_F(TextFileTest, LargePagesAreWrittenWhole) {
  const std::string path = PathOf("fp.htm");
  std::string expected;
  TextFile file(path);
  for (int row = 0; row < 100000; ++row) {
    const std::string line = "<tr><td>" + std::to_string(row) + "</td></tr>";
    file.WriteLine(line);
    expected += line + "\r\n";
  }
  file.Close();
  EXPECT_EQ(ReadFile(path), expected);
}

// A page that is not closed (its composition failed on the way) leaves the
// page before it whole: nothing of the new one is shown or kept.
TEST_F(TextFileTest, WithoutCloseTheOldFileStays) {
  const std::string path = PathOf("oReport.htm");
  { std::ofstream(path) << "the page before"; }
  {
    TextFile file(path);
    for (int row = 0; row < 100000; ++row) file.WriteLine("<tr><td>half a page</td></tr>");
  }
  EXPECT_EQ(ReadFile(path), "the page before");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

// A full disk half-way through a page: the failure is remembered rather
// than raised by the line that met it, Close raises it, and the page before
// stays whole.
TEST_F(TextFileTest, AFullDiskLeavesThePageBefore) {
  const std::string path = PathOf("oReport.htm");
  { std::ofstream(path) << "the page before"; }
  testing::FaultyFileSystem faulty;
  ScopedFileSystem scoped(faulty);
  faulty.DiskFullAfter(100000);
  TextFile file(path);
  int written = 0;
  while (!file.Failed() && written < 1000000) {
    file.WriteLine("<tr><td>a row of the page</td></tr>");
    ++written;
  }
  EXPECT_TRUE(file.Failed());
  try {
    file.Close();
    ADD_FAILURE() << "a page that did not fit was put in place";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.Number(), errc::kDiskFull);
    EXPECT_EQ(error.Description(), "Disk full: " + path);
  }
  EXPECT_EQ(ReadFile(path), "the page before");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
  file.Close();  // done: a second Close does nothing
}

TEST_F(TextFileTest, OpeningFailuresRaiseThePlatformErrors) {
  fs::create_directory(folder_ / "sub");
  { std::ofstream(PathOf("plain")) << "x"; }
  struct Case {
    const char* what;
    std::string path;
    int number;
  };
  const std::vector<Case> cases = {
      {"missing folder", PathOf("none/oReport.htm"), errc::kPathNotFound},
      {"a file where the folder should be", PathOf("plain/oReport.htm"), errc::kPathNotFound},
      {"the path is a folder", PathOf("sub"), errc::kPathFileAccessError},
      {"empty path", "", errc::kBadFileNameOrNumber},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ErrorNumberOf([&] { TextFile file(c.path); }), c.number);
  }
  EXPECT_EQ(ReadFile(PathOf("plain")), "x");
}

TEST_F(TextFileTest, UnwritableFileGives75) {
  if (::geteuid() == 0) {
    // Permissions do not bind the superuser; the system's own /sys refuses
    // new files to everyone.
    if (!fs::is_directory("/sys")) GTEST_SKIP() << "no folder refuses the superuser";
    EXPECT_EQ(ErrorNumberOf([&] { TextFile file("/sys/zarel-report.htm"); }),
              errc::kPathFileAccessError);
    return;
  }
  const std::string path = PathOf("locked.htm");
  { std::ofstream(path) << "kept"; }
  fs::permissions(path, fs::perms::owner_read);
  EXPECT_EQ(ErrorNumberOf([&] { TextFile file(path); }), errc::kPathFileAccessError);
  EXPECT_EQ(ReadFile(path), "kept");
}

TEST_F(TextFileTest, LinesLongerThanTheBufferArriveWhole) {
  const std::string path = PathOf("long.htm");
  const std::string small = "<tr><td>1</td>";
  const std::string large(700 * 1024, 'z');
  {
    TextFile file(path);
    file.WriteLine(small);
    file.WriteLine(large);
    file.WriteLine(small);
    file.Close();
  }
  EXPECT_EQ(ReadFile(path), small + "\r\n" + large + "\r\n" + small + "\r\n");
}

}  // namespace
}  // namespace zarel
