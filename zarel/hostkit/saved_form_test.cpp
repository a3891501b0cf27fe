// Tests of the saved form file: its exact text, every way a damaged file is
// refused, and writes that never leave a half-written form.
#include "zarel/hostkit/saved_form.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "zarel/base/error.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

using testing::ErrorNumberOf;
using testing::FileExists;
using testing::ReadFile;
using testing::TempFolder;

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ErrorTextOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const RuntimeError& error) {
    return std::to_string(error.Number()) + " " + error.Description();
  }
  return "no error";
}

TEST(SavedFormTest, TextRoundTrip) {
  SavedForm form;
  form.controls.push_back({"Zarel", "Zarel1", {}});
  form.controls.back().properties.WriteProperty("ActivePort", Variant(std::int16_t{80}),
                                                Variant(std::int16_t{0}));
  form.controls.push_back({"Zarel", "Zarel2", {}});
  PropertyBag& second = form.controls.back().properties;
  second.WriteProperty("Caption", Variant("say \"hi\"\\\n\r\tok \xC2\xBB"), Variant());
  second.WriteProperty("Big", Variant(std::int64_t{-9000000000}), Variant());
  second.WriteProperty("Wide", Variant(std::int32_t{70000}), Variant());
  second.WriteProperty("Flag", Variant(true), Variant());

  const std::string text = FormatSavedForm(form);
  EXPECT_EQ(text,
            "ZarelForm 1\n"
            "Begin Zarel Zarel1\n"
            "  ActivePort = 80\n"
            "End\n"
            "Begin Zarel Zarel2\n"
            "  Caption = \"say \\\"hi\\\"\\\\\\n\\r\\tok \xC2\xBB\"\n"
            "  Big = -9000000000\n"
            "  Wide = 70000\n"
            "  Flag = -1\n"
            "End\n");

  const SavedForm back = ParseSavedForm(text, "text");
  ASSERT_EQ(back.controls.size(), 2u);
  EXPECT_EQ(back.controls[0].class_name, "Zarel");
  EXPECT_EQ(back.controls[0].name, "Zarel1");
  const Variant port = back.controls[0].properties.ReadProperty("activeport", Variant());
  EXPECT_EQ(port.Type(), VarType::kInteger);
  EXPECT_EQ(port.ToInteger(), 80);
  const PropertyBag& bag = back.controls[1].properties;
  EXPECT_EQ(bag.ReadProperty("Caption", Variant()).AsString(), "say \"hi\"\\\n\r\tok \xC2\xBB");
  EXPECT_EQ(bag.ReadProperty("Big", Variant()).ToLongLong(), -9000000000);
  EXPECT_EQ(bag.ReadProperty("Wide", Variant()).Type(), VarType::kLong);
  EXPECT_EQ(bag.ReadProperty("Flag", Variant()).ToInteger(), -1);
  EXPECT_EQ(FormatSavedForm(back), text);

  // Comments, blank lines, free indentation, CRLF and words in any case.
  const SavedForm loose = ParseSavedForm(
      "\r\n' a comment\r\n  ZarelForm 1\r\n\r\nBEGIN Zarel   Z_1\r\n\tActivePort=7\r\n  end  \r\n",
      "loose");
  ASSERT_EQ(loose.controls.size(), 1u);
  EXPECT_EQ(loose.controls[0].name, "Z_1");
  EXPECT_EQ(loose.controls[0].properties.ReadProperty("ActivePort", Variant()).ToInteger(), 7);

  // What the format cannot hold is refused when formatting.
  SavedForm odd;
  odd.controls.push_back({"Zarel", "Zarel1", {}});
  odd.controls.back().properties.WriteProperty("Ratio", Variant(0.5), Variant());
  EXPECT_EQ(ErrorNumberOf([&] { FormatSavedForm(odd); }), errc::kTypeMismatch);
  odd.controls.back() = {"Zarel", "Zarel1", {}};
  odd.controls.back().properties.WriteProperty("Text", Variant("bell\a"), Variant());
  EXPECT_EQ(ErrorNumberOf([&] { FormatSavedForm(odd); }), errc::kTypeMismatch);
  odd.controls.back() = {"Zarel", "1st", {}};
  EXPECT_EQ(ErrorNumberOf([&] { FormatSavedForm(odd); }), errc::kInvalidProcedureCall);
}

TEST(SavedFormTest, DamagedTextIsRefusedWithItsLine) {
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"", ": the file is empty, expected \"ZarelForm 1\""},
      {"' only a comment\n\n", ": the file is empty, expected \"ZarelForm 1\""},
      {"<html>\n", "line 1: not a form file (expected \"ZarelForm 1\")"},
      {"ZarelForm\n", "line 1: not a form file (expected \"ZarelForm 1\")"},
      {"ZarelForm 2\n", "line 1: unsupported form version \"2\""},
      {"ZarelForm 1\nActivePort = 80\n", "line 2: expected \"Begin CLASS NAME\""},
      {"ZarelForm 1\nBegin Zarel\n", "line 2: expected \"Begin CLASS NAME\""},
      {"ZarelForm 1\nBegin Zarel 1st\n", "line 2: bad control name \"1st\""},
      {"ZarelForm 1\nBegin Za-rel Z\n", "line 2: bad class name \"Za-rel\""},
      {"ZarelForm 1\nBegin Zarel Z\nEnd\nBegin Zarel z\nEnd\n",
       "line 4: a second control named \"z\""},
      {"ZarelForm 1\nBegin Zarel Z\n", "line 2: control \"Z\" has no \"End\" line"},
      {"ZarelForm 1\nBegin Zarel Z\n  ActivePort 80\nEnd\n",
       "line 3: expected \"Name = value\" or \"End\""},
      {"ZarelForm 1\nBegin Zarel Z\n  = 80\nEnd\n", "line 3: bad property name \"\""},
      {"ZarelForm 1\nBegin Zarel Z\n  ActivePort =\nEnd\n", "line 3: a property without a value"},
      {"ZarelForm 1\nBegin Zarel Z\n  A = 1\n  a = 2\nEnd\n",
       "line 4: property \"a\" is given twice"},
      {"ZarelForm 1\nBegin Zarel Z\n  A = 8O\nEnd\n",
       "line 3: bad value 8O (expected a whole number or a quoted text)"},
      {"ZarelForm 1\nBegin Zarel Z\n  A = +8\nEnd\n",
       "line 3: bad value +8 (expected a whole number or a quoted text)"},
      {"ZarelForm 1\nBegin Zarel Z\n  A = 1.5\nEnd\n",
       "line 3: bad value 1.5 (expected a whole number or a quoted text)"},
      {"ZarelForm 1\nBegin Zarel Z\n  A = 99999999999999999999\nEnd\n",
       "line 3: the number 99999999999999999999 is too large"},
      {"ZarelForm 1\nBegin Zarel Z\n  A = \"open\nEnd\n", "line 3: a text without its closing quote"},
      {"ZarelForm 1\nBegin Zarel Z\n  A = \"end\\\nEnd\n",
       "line 3: a text without its closing quote"},
      {"ZarelForm 1\nBegin Zarel Z\n  A = \"x\" y\nEnd\n", "line 3: text after the closing quote"},
      {"ZarelForm 1\nBegin Zarel Z\n  A = \"\\q\"\nEnd\n", "line 3: an unknown escape \\q"},
      {std::string("ZarelForm 1\nBegin Zarel Z\n  A = \"\0\"\nEnd\n", 40),
       "line 3: a control character"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorTextOf([&] { ParseSavedForm(c.text, "f.form"); }),
              std::string("321 Invalid form file f.form") + (c.error[0] == ':' ? "" : ", ") + c.error)
        << c.text;
  }
}

TEST(SavedFormTest, ReadingFiles) {
  TempFolder folder;
  const std::string path = folder.PathOf("main.form");
  EXPECT_EQ(ErrorTextOf([&] { ReadSavedForm(path); }), "53 Form file not found: " + path);
  EXPECT_EQ(ErrorTextOf([&] { ReadSavedForm(folder.Path()); }),
            "75 Cannot read the form file " + folder.Path() + ": not a file");
  Write(path, std::string(2 << 20, ' '));
  EXPECT_EQ(ErrorTextOf([&] { ReadSavedForm(path); }),
            "321 Invalid form file " + path + ": too large to be a form");
  Write(path, "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(ErrorNumberOf([&] { ReadSavedForm(path); }), errc::kInvalidFileFormat);
  if (::geteuid() != 0) {
    Write(path, "ZarelForm 1\n");
    ::chmod(path.c_str(), 0);
    EXPECT_EQ(ErrorNumberOf([&] { ReadSavedForm(path); }), errc::kPathFileAccessError);
    ::chmod(path.c_str(), 0644);
  }
}

TEST(SavedFormTest, WritesReplaceTheFileOnlyWhenComplete) {
  TempFolder folder;
  const std::string path = folder.PathOf("main.form");
  SavedForm form;
  form.controls.push_back({"Zarel", "Zarel1", {}});
  WriteSavedForm(path, form);
  EXPECT_EQ(ReadFile(path), "ZarelForm 1\nBegin Zarel Zarel1\nEnd\n");
  ::chmod(path.c_str(), 0640);

  form.controls.back().properties.WriteProperty("ActivePort", Variant(std::int16_t{80}), Variant());
  WriteSavedForm(path, form);
  EXPECT_EQ(ReadFile(path), "ZarelForm 1\nBegin Zarel Zarel1\n  ActivePort = 80\nEnd\n");
  struct stat status {};
  ASSERT_EQ(::stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);

  // A form that cannot be formatted, a folder that does not exist: the old
  // file stays, and no temporary file is left.
  SavedForm bad = form;
  bad.controls.back().properties.WriteProperty("Ratio", Variant(0.5), Variant());
  EXPECT_EQ(ErrorNumberOf([&] { WriteSavedForm(path, bad); }), errc::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([&] { WriteSavedForm(folder.PathOf("no/main.form"), form); }),
            errc::kPathFileAccessError);
  EXPECT_EQ(ErrorNumberOf([&] { WriteSavedForm("", form); }), errc::kBadFileNameOrNumber);
  // A folder in the way of the rename.
  std::filesystem::create_directory(folder.PathOf("taken.form"));
  EXPECT_EQ(ErrorNumberOf([&] { WriteSavedForm(folder.PathOf("taken.form"), form); }),
            errc::kPathFileAccessError);
  EXPECT_EQ(ReadFile(path), "ZarelForm 1\nBegin Zarel Zarel1\n  ActivePort = 80\nEnd\n");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"main.form", "taken.form"}));
  EXPECT_FALSE(FileExists(folder.PathOf("no")));

  // Through a symbolic link the form is replaced where it lives.
  std::filesystem::create_directory(folder.PathOf("real"));
  WriteSavedForm(folder.PathOf("real/main.form"), SavedForm());
  std::filesystem::create_symlink("real/main.form", folder.PathOf("link.form"));
  WriteSavedForm(folder.PathOf("link.form"), form);
  EXPECT_TRUE(std::filesystem::is_symlink(folder.PathOf("link.form")));
  EXPECT_EQ(ReadFile(folder.PathOf("real/main.form")),
            "ZarelForm 1\nBegin Zarel Zarel1\n  ActivePort = 80\nEnd\n");
  std::filesystem::create_symlink("nowhere/main.form", folder.PathOf("dangling.form"));
  EXPECT_EQ(ErrorNumberOf([&] { WriteSavedForm(folder.PathOf("dangling.form"), form); }),
            errc::kPathFileAccessError);
}

}  // namespace
}  // namespace zarel
