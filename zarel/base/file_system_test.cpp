// Files replaced whole: what readers see while a file is written, after a
// failure of any step (a full disk, an I/O error, a refused rename), after
// a writer was killed, and when two writers replace one file.
#include "zarel/base/file_system.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "zarel/testing/faulty_file_system.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

using testing::ErrorNumberOf;
using testing::FaultyFileSystem;
using testing::ReadFile;
using Operation = FaultyFileSystem::Operation;

class ReplacementFileTest : public ::testing::Test {
 protected:
  ReplacementFileTest() : path_(folder_.PathOf("oReport.htm")) {
    std::ofstream(path_, std::ios::binary) << "the old page";
  }

  // The names in the folder, sorted: temporary files would show here.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.Path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // The error a failing write raises, and what it left.
  std::string Outcome(const std::function<void()> write) const {
    std::string outcome;
    try {
      write();
      outcome = "written";
    } catch (const RuntimeError& error) {
      outcome = std::to_string(error.Number()) + " " + error.Description();
    }
    outcome += " | " + ReadFile(path_);
    for (const std::string& name : Names()) outcome += " | " + name;
    return outcome;
  }

  testing::TempFolder folder_;
  std::string path_;
  FaultyFileSystem faulty_;
};

TEST_F(ReplacementFileTest, ReadersSeeTheOldFileUntilCommit) {
  ReplacementFile file(path_);
  EXPECT_EQ(ReplacementFile::TemporaryPathOf(path_), folder_.PathOf(".oReport.htm.zarel-new"));
  file.Append("the new ");
  file.Append("page");
  EXPECT_EQ(ReadFile(path_), "the old page");
  file.Commit();
  EXPECT_EQ(ReadFile(path_), "the new page");
  EXPECT_EQ(Names(), std::vector<std::string>{"oReport.htm"});
  EXPECT_EQ(ErrorNumberOf([&] { file.Append("late"); }), errc::kPathFileAccessError);
  EXPECT_EQ(ErrorNumberOf([&] { file.Commit(); }), errc::kPathFileAccessError);
}

TEST_F(ReplacementFileTest, WithoutCommitTheOldFileStays) {
  {
    ReplacementFile file(path_);
    file.Append("half a pa");
  }
  EXPECT_EQ(ReadFile(path_), "the old page");
  EXPECT_EQ(Names(), std::vector<std::string>{"oReport.htm"});
}

// Every step that can fail leaves the old file whole and no temporary file.
TEST_F(ReplacementFileTest, AFailingStepLeavesTheOldFileAndNothingElse) {
  ScopedFileSystem scoped(faulty_);
  const std::string kept = " | the old page | oReport.htm";
  const std::string where = ": " + path_;
  const auto replace = [&](Durability durability) {
    return [this, durability] {
      ReplacementFile file(path_, durability);
      file.Append("the new page, ");
      file.Append(std::string(100000, 'x'));
      file.Commit();
    };
  };
  struct Case {
    const char* what;
    std::function<void()> fault;
    Durability durability;
    std::string outcome;
  };
  const Case cases[] = {
      {"a full disk", [&] { faulty_.DiskFullAfter(20); }, Durability::kVisible,
       "61 Disk full" + where + kept},
      {"a full disk at once", [&] { faulty_.DiskFullAfter(0); }, Durability::kVisible,
       "61 Disk full" + where + kept},
      {"an I/O error writing", [&] { faulty_.Fail(Operation::kAppend, EIO); },
       Durability::kVisible, "57 Device I/O error" + where + kept},
      {"a refused temporary file", [&] { faulty_.Fail(Operation::kOpen, EACCES); },
       Durability::kVisible, "75 Path/File access error" + where + kept},
      {"an I/O error syncing", [&] { faulty_.Fail(Operation::kSync, EIO); }, Durability::kDurable,
       "57 Device I/O error" + where + kept},
      {"a refused rename", [&] { faulty_.Fail(Operation::kRename, EXDEV); }, Durability::kVisible,
       "75 Path/File access error" + where + kept},
      // Nothing syncs when the file need only be seen.
      {"a failing sync, not asked for", [&] { faulty_.Fail(Operation::kSync, EIO); },
       Durability::kVisible, "written | the new page, " + std::string(100000, 'x') + " | oReport.htm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << "the old page";
    faulty_.Clear();
    c.fault();
    EXPECT_EQ(Outcome(replace(c.durability)), c.outcome);
  }
  // A folder that cannot be synced after the rename: the new file is in
  // place, and the caller hears that it may not survive a power cut.
  faulty_.Clear();
  std::ofstream(path_, std::ios::binary | std::ios::trunc) << "the old page";
  faulty_.Fail(Operation::kSyncFolder, EIO);
  EXPECT_EQ(Outcome(replace(Durability::kDurable)),
            "57 Device I/O error" + where + " | the new page, " + std::string(100000, 'x') +
                " | oReport.htm");
}

TEST_F(ReplacementFileTest, AFailedAppendIsRaisedByCommit) {
  ScopedFileSystem scoped(faulty_);
  faulty_.DiskFullAfter(3);
  ReplacementFile file(path_);
  file.Append("new");
  EXPECT_FALSE(file.Failed());
  file.Append("er");
  EXPECT_TRUE(file.Failed());
  // What was written is gone at once; later writes are dropped.
  EXPECT_EQ(Names(), std::vector<std::string>{"oReport.htm"});
  const int appends = faulty_.Count(Operation::kAppend);
  file.Append("more");
  EXPECT_EQ(faulty_.Count(Operation::kAppend), appends);
  EXPECT_EQ(ErrorNumberOf([&] { file.Commit(); }), errc::kDiskFull);
  EXPECT_EQ(ReadFile(path_), "the old page");
}

TEST_F(ReplacementFileTest, DurableCommitSyncsTheFileAndItsFolder) {
  ScopedFileSystem scoped(faulty_);
  ReplacementFile file(path_, Durability::kDurable);
  file.Append("kept");
  file.Commit();
  EXPECT_EQ(faulty_.Count(Operation::kSync), 1);
  EXPECT_EQ(faulty_.Count(Operation::kSyncFolder), 1);
  ReplacementFile page(path_);
  page.Append("seen");
  page.Commit();
  EXPECT_EQ(faulty_.Count(Operation::kSync), 1);
  EXPECT_EQ(faulty_.Count(Operation::kSyncFolder), 1);
}

TEST_F(ReplacementFileTest, OpeningFailuresRaiseThePlatformErrors) {
  std::filesystem::create_directory(folder_.PathOf("sub"));
  std::ofstream(folder_.PathOf("plain")) << "x";
  std::filesystem::create_symlink("nowhere/page.htm", folder_.PathOf("dangling.htm"));
  // A device, a pipe or a socket is never replaced by a plain file.
  ASSERT_EQ(::mkfifo(folder_.PathOf("pipe").c_str(), 0666), 0);
  const std::pair<std::string, int> cases[] = {
      {folder_.PathOf("pipe"), errc::kPathFileAccessError},
      {folder_.PathOf("none/page.htm"), errc::kPathNotFound},
      {folder_.PathOf("plain/page.htm"), errc::kPathNotFound},
      {folder_.PathOf("sub"), errc::kPathFileAccessError},
      {folder_.PathOf("dangling.htm"), errc::kPathFileAccessError},
      {"", errc::kBadFileNameOrNumber},
  };
  for (const auto& [path, number] : cases) {
    EXPECT_EQ(ErrorNumberOf([&] { ReplacementFile file(path); }), number) << path;
  }
  EXPECT_EQ(Names(), (std::vector<std::string>{"dangling.htm", "oReport.htm", "pipe", "plain", "sub"}));
  EXPECT_TRUE(std::filesystem::is_fifo(folder_.PathOf("pipe")));
}

TEST_F(ReplacementFileTest, KeepsPermissionsAndLinks) {
  ::chmod(path_.c_str(), 0640);
  std::filesystem::create_directory(folder_.PathOf("real"));
  std::ofstream(folder_.PathOf("real/page.htm")) << "old";
  std::filesystem::create_symlink("real/page.htm", folder_.PathOf("link.htm"));
  for (const std::string& path : {path_, folder_.PathOf("link.htm")}) {
    ReplacementFile file(path);
    file.Append("new");
    file.Commit();
  }
  struct stat status {};
  ASSERT_EQ(::stat(path_.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_TRUE(std::filesystem::is_symlink(folder_.PathOf("link.htm")));
  EXPECT_EQ(ReadFile(folder_.PathOf("real/page.htm")), "new");
  EXPECT_EQ(Names(), (std::vector<std::string>{"link.htm", "oReport.htm", "real"}));
}

// A link planted under the temporary name is not followed: the file it
// leads to is not truncated.
TEST_F(ReplacementFileTest, ALinkUnderTheTemporaryNameIsRefused) {
  std::ofstream(folder_.PathOf("precious")) << "precious";
  std::filesystem::create_symlink("precious", ReplacementFile::TemporaryPathOf(path_));
  EXPECT_EQ(ErrorNumberOf([&] { ReplacementFile file(path_); }), errc::kPathFileAccessError);
  EXPECT_EQ(ReadFile(folder_.PathOf("precious")), "precious");
  EXPECT_EQ(ReadFile(path_), "the old page");
}

// A writer killed half-way leaves its one temporary file, which the next
// writer takes over: however often it happens, no files accumulate.
TEST_F(ReplacementFileTest, AKilledWriterLeavesOneFileTheNextWriterTakesOver) {
  for (int kill = 0; kill < 3; ++kill) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ReplacementFile file(path_);
      file.Append(std::string(1000, 'z'));
      (void)!::write(ready[1], "x", 1);
      ::pause();
      ::_exit(0);
    }
    char signal_byte = 0;
    ASSERT_EQ(::read(ready[0], &signal_byte, 1), 1);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(ReadFile(path_), "the old page");
    EXPECT_EQ(Names(), (std::vector<std::string>{".oReport.htm.zarel-new", "oReport.htm"}));
  }
  ReplacementFile file(path_);
  file.Append("the new page");
  file.Commit();
  EXPECT_EQ(ReadFile(path_), "the new page");
  EXPECT_EQ(Names(), std::vector<std::string>{"oReport.htm"});
}

// Two writers of one file take turns: the second waits until the first has
// put its file in place, and neither writes into the other's file.
TEST_F(ReplacementFileTest, TwoWritersTakeTurns) {
  auto first = std::make_unique<ReplacementFile>(path_);
  first->Append("first");
  std::atomic<bool> second_opened{false};
  std::thread second([&] {
    ReplacementFile file(path_);
    second_opened = true;
    file.Append("second");
    file.Commit();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(second_opened);
  first->Commit();
  second.join();
  EXPECT_EQ(ReadFile(path_), "second");
  EXPECT_EQ(Names(), std::vector<std::string>{"oReport.htm"});
}

}  // namespace
}  // namespace zarel
