// The thumbnail gallery and its specification reader.
#include "zarel/components/thumbnail_gallery.h"

#include <gtest/gtest.h>

#include "zarel/components/renderers.h"
#include "zarel/testing/component_rig.h"

namespace zarel {
namespace {

using testing::MakeRecordset;
using testing::RenderLines;
using testing::TestContext;

const std::string kNb = testing::kNbspText;

std::shared_ptr<Recordset> Products(int count, const std::string& image_name = "Photo") {
  std::vector<std::vector<Variant>> rows;
  for (int i = 0; i < count; ++i) {
    rows.push_back({"A" + std::to_string(i + 7), "img/a" + std::to_string(i + 7) + ".jpg",
                    Currency::FromDouble(12.5)});
  }
  return MakeRecordset({{"Code", fieldtype::kVarWChar},
                        {image_name, fieldtype::kVarWChar},
                        {"Price", fieldtype::kCurrency}},
                       rows);
}

std::vector<std::string> Gallery(TestContext& context, std::shared_ptr<Recordset> recordset,
                                 const std::string& specification,
                                 const std::string& caption = "") {
  return RenderLines([&](TextFile& report) {
    RenderThumbnailGallery(context, report, recordset, caption, 2, specification);
  });
}

TEST(ThumbnailGalleryTest, CardWithTextsOnTheRight) {
  TestContext context;
  const auto lines = Gallery(context, Products(1),
                             "<imagefieldno>1</imagefieldno><columns>3</columns><width>120"
                             "</width><textposition>right</textposition><fieldname>y</fieldname>",
                             "Gallery");
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "<p id='TTL002' class=ph><img src='circle.gif'>  Gallery<table "
                       "id='TBL002' cellspacing=1 border=1 width=100%>",
                       "<tr><td valign=top width='33%' ><table width=100% border=0><tr><td "
                       "valign=top align=left width=1% % rowspan=3><a href='img/a7.jpg'><img "
                       "src='img/a7.jpg'  width='120' ></a></td><td align=left width=1% "
                       "class=hn>Code</td><td class=ttd>A7</td><tr><td align=left width=1% "
                       "class=hn>Price</td><td class=ttd>12.50</td><tr></table>",
                       "<td>" + kNb + "</td><td>" + kNb + "</td></table>"}));
  EXPECT_TRUE(context.messages.empty());
}

TEST(ThumbnailGalleryTest, RowsFillersAndSettings) {
  struct Case {
    int records;
    std::string specification;
    std::vector<bool> row_starts;
    std::string card_start;  // after the optional "<tr>"
    std::string last_line;
  };
  const std::string below = "<tr><td valign=top align=left width=1% ><a href='img/a7.jpg'>"
                            "<img src='img/a7.jpg' ";
  const Case cases[] = {
      {5, "<imagefieldno>1</imagefieldno><columns>2</columns>", {1, 0, 1, 0, 1},
       "<td valign=top width='50%' ><table width=100% border=0>" + below + "></a></td><tr>",
       "<td>" + kNb + "</td></table>"},
      {6, "<imagefieldno>1</imagefieldno><columns>3</columns>", {1, 0, 0, 1, 0, 0},
       "<td valign=top width='33%' ><table", "</table>"},
      {2, "<imagefieldno>1</imagefieldno><columns>0</columns><height>100px</height><width>abc</width>",
       {1, 1}, "<td valign=top width='100%' ><table width=100% border=0>" + below +
       " height='100' ></a></td><tr><td class=ttd>A7</td>", "</table>"},
      {1, "<imagefieldno>1</imagefieldno><columns>8</columns><textposition>RIGHT</textposition>"
          "<fieldname>Yes</fieldname>",
       {1}, "<td valign=top width='12%' ><table width=100% border=0><tr><td valign=top "
            "align=left width=1% % rowspan=3><a href='img/a7.jpg'><img src='img/a7.jpg' ></a>"
            "</td><td align=left width=1% class=hn>Code</td>",
       "<td>" + kNb + "</td><td>" + kNb + "</td><td>" + kNb + "</td><td>" + kNb + "</td><td>" +
           kNb + "</td><td>" + kNb + "</td><td>" + kNb + "</td></table>"},
      {1, "<fieldname>no</fieldname><imagefieldno>1</imagefieldno><columns>6</columns>", {1},
       "<td valign=top width='17%' ><table width=100% border=0>" + below + "></a></td><tr><td "
       "class=ttd>A7</td>", "<td>" + kNb + "</td><td>" + kNb + "</td><td>" + kNb + "</td><td>" +
       kNb + "</td><td>" + kNb + "</td></table>"},
  };
  for (const Case& c : cases) {
    TestContext context;
    const auto lines = Gallery(context, Products(c.records), c.specification);
    ASSERT_EQ(lines.size(), c.row_starts.size() + 2) << c.specification;
    for (std::size_t card = 0; card < c.row_starts.size(); ++card) {
      const std::string& line = lines[card + 1];
      const std::size_t offset = c.row_starts[card] ? 4 : 0;
      EXPECT_EQ(line.substr(0, offset), c.row_starts[card] ? "<tr>" : "") << c.specification;
      if (card == 0) {
        EXPECT_EQ(line.substr(offset, c.card_start.size()), c.card_start) << c.specification;
      }
    }
    EXPECT_EQ(lines.back(), c.last_line) << c.specification;
    EXPECT_TRUE(context.messages.empty()) << c.specification;
  }
}

TEST(ThumbnailGalleryTest, ImageFieldMatchesInAnyCase) {
  TestContext context;
  // A query may return two columns whose names differ only in case.
  RecordsetData data;
  data.fields.resize(2);
  data.fields[0].name = "photo";
  data.fields[1].name = "PHOTO";
  data.rows = {{Variant("a.jpg"), Variant::Null()}};
  auto recordset = Recordset::Create();
  recordset->OpenWith(std::move(data));
  const auto lines = Gallery(context, recordset, "<imagefieldno>0</imagefieldno>");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "<tr><td valign=top width='100%' ><table width=100% border=0><tr><td "
                      "valign=top align=left width=1% ><a href='a.jpg'><img src='a.jpg' ></a>"
                      "</td><tr><td valign=top align=left width=1% ><a href=''><img src='' >"
                      "</a></td><tr></table>");
}

TEST(ThumbnailGalleryTest, MalformedSpecificationsAndFailures) {
  TestContext quiet;
  quiet.talking = false;
  const auto lines = Gallery(quiet, Products(2), "<imagefieldno>1</imagefieldno><columns>3");
  ASSERT_EQ(lines.size(), 4u);  // one card per row
  EXPECT_EQ(lines[2].substr(0, 33), "<tr><td valign=top width='100%' >");
  EXPECT_EQ(quiet.messages, std::vector<std::string>{"Error is Specification XML String"});

  TestContext context;
  EXPECT_TRUE(Gallery(context, Products(0), "", "Pics").empty());
  EXPECT_TRUE(Gallery(context, Products(2), "<columns>2</columns>").empty());
  EXPECT_TRUE(Gallery(context, Products(2), "<imagefieldno>x</imagefieldno>").empty());
  EXPECT_EQ(Gallery(context, Products(2), "<imagefieldno>9</imagefieldno>").size(), 1u);
  auto uncounted = Products(2);
  uncounted->AnswerUnknownRecordCount(true);
  EXPECT_TRUE(Gallery(context, uncounted, "<imagefieldno>1</imagefieldno>").empty());
  EXPECT_EQ(context.messages,
            (std::vector<std::string>{
                "Blank Recordset: Pics", "Error: 13, Type mismatch", "Error: 13, Type mismatch",
                "Error: 3265, Item cannot be found in the collection corresponding to the "
                "requested name or ordinal."}));
}

TEST(ThumbnailGalleryTest, ReadSpecTag) {
  TestContext context;
  context.talking = false;
  EXPECT_EQ(ReadSpecTag(context, "<a>1</a><height>100</height>", "<height>").ToText(), "100");
  EXPECT_EQ(ReadSpecTag(context, "<a>1</a>", "<height>").Type(), VarType::kString);
  EXPECT_TRUE(context.messages.empty());
  EXPECT_TRUE(ReadSpecTag(context, "<height>100", "<height>").IsEmpty());
  EXPECT_TRUE(ReadSpecTag(context, "</height><height>1", "<height>").IsEmpty());
  EXPECT_EQ(context.messages.size(), 2u);
}

TEST(ThumbnailGalleryTest, CountsPastSixteenBits) {
  TestContext context;
  const auto lines = Gallery(context, Products(32769), "<imagefieldno>1</imagefieldno>"
                                                       "<columns>2</columns>");
  ASSERT_EQ(lines.size(), 32771u);
  EXPECT_EQ(lines[32768].substr(0, 4), "<td ");  // the card counted 32767
  EXPECT_EQ(lines[32769].substr(0, 4), "<tr>");  // the card counted 32768
  EXPECT_EQ(lines.back(), "<td>" + kNb + "</td></table>");
  EXPECT_TRUE(context.messages.empty());
}

}  // namespace
}  // namespace zarel
