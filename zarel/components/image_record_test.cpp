// The image record: picture files, the form beside them, unsafe names.
#include <gtest/gtest.h>

#include <filesystem>

#include "zarel/components/renderers.h"
#include "zarel/testing/component_rig.h"

namespace zarel {
namespace {

using testing::MakeRecordset;
using testing::RenderLines;
using testing::TestContext;

class ImageRecordTest : public ::testing::Test {
 protected:
  ImageRecordTest() { context.application_folder = Variant(folder.Path()); }

  std::vector<std::string> Render(std::shared_ptr<Recordset> recordset,
                                  const std::string& caption = "Product") {
    return RenderLines([&](TextFile& report) {
      RenderImageRecord(context, report, recordset, caption, 4);
    });
  }

  testing::TempFolder folder;
  TestContext context;
};

const Bytes kChair = {0x89, 'P', 'N', 'G', 0};
const Bytes kTable = {'G', 'I', 'F'};

TEST_F(ImageRecordTest, SavesThePictureAndShowsTheValues) {
  auto product = MakeRecordset({{"ID", fieldtype::kInteger},
                                {"Photo", fieldtype::kLongVarBinary},
                                {"Name", fieldtype::kVarWChar}},
                               {{17, kChair, "Chair"}, {18, kTable, "Table"}});
  for (int run = 0; run < 2; ++run) {  // the second run overwrites the file
    EXPECT_EQ(Render(product),
              std::vector<std::string>{
                  "<p id='TTL004' class=ph><img src='circle.gif'>  Product<table id='TBL004' "
                  "cellspacing=1 border=1 width=100%><TR><TD VALIGN=TOP WIDTH=30% ROWSPAN=2>"
                  "<IMG SRC='pic17' WIDTH=100%></TD><td width=30% class=hn>ID: </td><td "
                  "class=hv>17</td><tr><td width=30% class=hn>Name: </td><td "
                  "class=hv>Chair</td><tr></table><br>"});
  }
  EXPECT_EQ(testing::ReadFile(folder.Path() + "/pic17"), std::string("\x89PNG\0", 5));
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/pic18"));
  EXPECT_TRUE(context.messages.empty());
}

TEST_F(ImageRecordTest, NoPictureTwoPicturesAndANullKey) {
  auto plain = MakeRecordset({{"ID", fieldtype::kInteger}}, {{17}});
  EXPECT_EQ(Render(plain, ""),
            std::vector<std::string>{"<table id='TBL004' cellspacing=1 border=1 width=100%>"
                                     "<td width=30% class=hn>ID: </td><td class=hv>17</td>"
                                     "<tr></table><br>"});
  auto two = MakeRecordset({{"ID", fieldtype::kVarWChar},
                            {"Front", fieldtype::kLongVarBinary},
                            {"Back", fieldtype::kLongVarBinary}},
                           {{Variant::Null(), kChair, kTable}});
  const std::string cell =
      "<TR><TD VALIGN=TOP WIDTH=30% ROWSPAN=2><IMG SRC='pic' WIDTH=100%></TD>";
  EXPECT_EQ(Render(two, ""),
            std::vector<std::string>{"<table id='TBL004' cellspacing=1 border=1 width=100%>" +
                                     cell + cell + "<td width=30% class=hn>ID: </td><td "
                                     "class=hv>\xC2\xA0</td><tr></table><br>"});
  EXPECT_EQ(testing::ReadFile(folder.Path() + "/pic"), "GIF");
}

TEST_F(ImageRecordTest, KeysThatLeaveTheFolderWriteNothing) {
  const std::string keys[] = {"../evil", "a/b", "/etc/x", "a\\b", "C:x", "..", "a\nb"};
  for (const std::string& key : keys) {
    context.messages.clear();
    auto product = MakeRecordset({{"ID", fieldtype::kVarWChar}, {"Photo", fieldtype::kLongVarBinary}},
                                 {{key, kChair}});
    EXPECT_TRUE(Render(product).empty()) << key;
    EXPECT_EQ(context.messages,
              std::vector<std::string>{"Error: 52, Picture file name 'pic" + key +
                                       "' would leave the application folder"});
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(folder.Path()).parent_path() / "picevil"));
}

TEST_F(ImageRecordTest, FailuresAndBlankRecordsets) {
  auto null_picture = MakeRecordset({{"ID", fieldtype::kInteger}, {"Photo", fieldtype::kLongVarBinary}},
                                    {{1, Variant::Null()}});
  EXPECT_TRUE(Render(null_picture).empty());
  context.application_folder = Variant(folder.Path() + "/missing");
  EXPECT_TRUE(Render(MakeRecordset({{"ID", fieldtype::kInteger}, {"Photo", fieldtype::kLongVarBinary}},
                                   {{1, kChair}})).empty());
  EXPECT_TRUE(Render(MakeRecordset({{"ID", fieldtype::kInteger}}, {})).empty());
  auto uncounted = MakeRecordset({{"ID", fieldtype::kInteger}}, {{1}});
  uncounted->AnswerUnknownRecordCount(true);
  EXPECT_TRUE(Render(uncounted).empty());
  EXPECT_EQ(context.messages, (std::vector<std::string>{"Error: 13, Type mismatch",
                                                        "Error: 76, Path not found: " + folder.Path() + "/missing/pic1",
                                                        "Blank Recordset: Product"}));
}

}  // namespace
}  // namespace zarel
