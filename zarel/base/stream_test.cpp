// Tests of the binary stream: saving, overwriting, and failures that leave
// nothing behind.
#include "zarel/base/stream.h"

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

class StreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zarel-stream-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(folder_);
  }
  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }
  std::size_t EntriesInFolder() const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
  }

  fs::path folder_;
};

using testing::ReadFile;

Variant BytesOf(const std::string& text) { return Variant(Bytes(text.begin(), text.end())); }

using testing::ErrorNumberOf;

TEST_F(StreamTest, SavesAndOverwritesThePicture) {
  const std::string target = PathOf("pic7.jpg");
  Stream stream;
  stream.Type(kTypeBinary);
  stream.Open();
  stream.Write(BytesOf(std::string("\xFF\xD8\0\x01", 4)));
  stream.Write(BytesOf("rest"));
  stream.SaveToFile(target, kSaveCreateOverWrite);
  stream.Close();
  EXPECT_EQ(ReadFile(target), std::string("\xFF\xD8\0\x01rest", 8));

  Stream again;
  again.Open();
  again.Write(BytesOf("new"));
  again.SaveToFile(target, kSaveCreateOverWrite);
  EXPECT_EQ(ReadFile(target), "new");
  // Without overwrite an existing file is refused and kept.
  EXPECT_EQ(ErrorNumberOf([&] { again.SaveToFile(target, kSaveCreateNotExist); }),
            errc::kPathFileAccessError);
  EXPECT_EQ(ReadFile(target), "new");
  again.Close();
  EXPECT_EQ(EntriesInFolder(), 1u);  // no temporary file left beside it
}

TEST_F(StreamTest, FailuresRaiseAndLeaveNothingBehind) {
  fs::create_directory(folder_ / "sub");
  { std::ofstream(PathOf("plain")) << "x"; }
  Stream open_stream;
  open_stream.Open();
  open_stream.Write(BytesOf("data"));
  Stream closed_stream;
  struct Case {
    const char* what;
    std::function<void()> action;
    int number;
  };
  const std::vector<Case> cases = {
      {"missing folder", [&] { open_stream.SaveToFile(PathOf("none/pic.jpg"), 2); },
       errc::kPathNotFound},
      {"a file where the folder should be",
       [&] { open_stream.SaveToFile(PathOf("plain/pic.jpg"), 2); }, errc::kPathNotFound},
      {"the target is a folder", [&] { open_stream.SaveToFile(PathOf("sub"), 2); },
       errc::kPathFileAccessError},
      {"empty path", [&] { open_stream.SaveToFile("", 2); }, errc::kBadFileNameOrNumber},
      {"unknown option", [&] { open_stream.SaveToFile(PathOf("x"), 3); },
       errc::kInvalidProcedureCall},
      {"writing Null", [&] { open_stream.Write(Variant::Null()); }, errc::kTypeMismatch},
      {"writing a text", [&] { open_stream.Write(Variant("abc")); }, errc::kTypeMismatch},
      {"writing Empty", [&] { open_stream.Write(Variant()); }, errc::kTypeMismatch},
      {"text type", [&] { closed_stream.Type(2); }, errc::kInvalidProcedureCall},
      {"write before Open", [&] { closed_stream.Write(BytesOf("a")); }, errc::kObjectClosed},
      {"save before Open", [&] { closed_stream.SaveToFile(PathOf("y"), 2); },
       errc::kObjectClosed},
      {"Close before Open", [&] { closed_stream.Close(); }, errc::kObjectClosed},
      {"Open twice", [&] { open_stream.Open(); }, 3705},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ErrorNumberOf(c.action), c.number);
  }
  EXPECT_EQ(open_stream.Size(), 4u);  // failed writes added nothing
  EXPECT_EQ(EntriesInFolder(), 2u);   // "sub" and "plain" only
}

TEST_F(StreamTest, FolderThatRefusesNewFilesGives75) {
  // Permissions do not bind the superuser; the system's own /sys refuses
  // new files to everyone.
  std::string refusing = folder_.string();
  if (::geteuid() == 0) {
    if (!fs::is_directory("/sys")) GTEST_SKIP() << "no folder refuses the superuser";
    refusing = "/sys";
  } else {
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
  }
  Stream stream;
  stream.Open();
  stream.Write(BytesOf("data"));
  EXPECT_EQ(ErrorNumberOf([&] { stream.SaveToFile(refusing + "/zarel-pic.jpg", 2); }),
            errc::kPathFileAccessError);
}

}  // namespace
}  // namespace zarel
