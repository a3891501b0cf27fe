// The shape report: nested levels, ids, colours, refusals and failures.
#include "zarel/components/shape_report.h"

#include <gtest/gtest.h>

#include "zarel/components/renderers.h"
#include "zarel/testing/component_rig.h"

namespace zarel {
namespace {

using testing::MakeRecordset;
using testing::RenderLines;
using testing::TestContext;

const std::string kHiddenRow = " style=\"display:none\"><td>&nbsp;</td><td colspan=";
const std::string kHidden = " style=\"display:none\">";
const std::string kShown = " style=\"display:default\">";

std::shared_ptr<Recordset> Command(const std::string& text) {
  return MakeRecordset({{"Cmd", fieldtype::kVarWChar}}, {{text}});
}

std::vector<std::string> Shape(TestContext& context, std::shared_ptr<Recordset> shaped,
                               std::shared_ptr<Recordset> component, const std::string& caption) {
  context.fetch = [shaped](const std::string&, std::shared_ptr<Recordset>& into) {
    into = shaped;
    return true;
  };
  return RenderLines([&](TextFile& report) {
    RenderShapeReport(context, report, component, caption, 3);
  });
}

std::shared_ptr<Recordset> Customers(std::vector<std::shared_ptr<Recordset>> orders) {
  std::vector<std::vector<Variant>> rows;
  for (std::size_t i = 0; i < orders.size(); ++i) {
    rows.push_back({"C" + std::to_string(i + 1), "Smith", orders[i]});
  }
  return MakeRecordset({{"CustomerID", fieldtype::kVarWChar},
                        {"Name", fieldtype::kVarWChar},
                        {"Orders", fieldtype::kChapter}},
                       rows);
}

std::shared_ptr<Recordset> Orders(const std::vector<std::vector<Variant>>& rows) {
  return MakeRecordset({{"OrderID", fieldtype::kInteger}, {"Item", fieldtype::kVarWChar}}, rows);
}

TEST(ShapeReportTest, NestsChildLevels) {
  TestContext context;
  const auto lines = Shape(context, Customers({Orders({{7, "Pen"}})}),
                           Command("SHAPE {x} APPEND ({y} RELATE a TO b)"), "Orders");
  EXPECT_EQ(context.queries, std::vector<std::string>{"SHAPE {x} APPEND ({y} RELATE a TO b)"});
  const std::vector<std::string> expected = {
      " <table border=0 Width=100%><tr><td><p id='TTL003' class=ph><img src='circle.gif'>Orders"
      "</td><td><p align=right id=DISPALL class=ph>Display All</td></table><table id='TBL003' "
      "border=0 width=100%><tr>",
      "<td colspan=1><div id=01SHP010" + kShown + "<table border=1 cellpadding=4 cellspacing=0 "
      "width=100%><tr><td width=5%>&nbsp;</td><td class=ths bgcolor=#fa8072>CustomerID</td><td "
      "class=ths bgcolor=#fa8072>Name</td>",
      "<tr><td width=5%><img id=DTL02C1 src=plus.gif></td><td class=ttd>C1</td><td "
      "class=ttd>Smith</td>",
      "<tr id=01ROW02C1" + kHiddenRow + "5><div id=01SHP02C1" + kHidden + "<table border=2 "
      "cellpadding=4 cellspacing=0 width=100%><tr><td class=ths bgcolor=#90ee90>OrderID</td><td "
      "class=ths bgcolor=#90ee90>Item</td>",
      "<tr><td align=right class=ttd>7</td><td class=ttd>Pen</td>",
      "</table></div>",
      "</table></div>",
  };
  EXPECT_EQ(lines, expected);
  EXPECT_TRUE(context.messages.empty());
}

TEST(ShapeReportTest, FlatEmptyChildrenAndTwoChapters) {
  TestContext context;
  const auto flat = Shape(context, Orders({{7, "Pen"}, {8, "Ink"}}), Command("q"), "");
  EXPECT_EQ(flat, (std::vector<std::string>{
                      "<table id='TBL003' border=0 width=100%><tr>",
                      "<td colspan=1><div id=01SHP010" + kShown + "<table border=1 cellpadding=4 "
                      "cellspacing=0 width=100%><tr><td class=ths bgcolor=#fa8072>OrderID</td><td "
                      "class=ths bgcolor=#fa8072>Item</td>",
                      "<tr><td align=right class=ttd>7</td><td class=ttd>Pen</td>",
                      "<tr><td align=right class=ttd>8</td><td class=ttd>Ink</td>",
                      "</table></div>"}));

  // An empty child keeps the expander but writes no hidden row.
  const auto empty_child = Shape(context, Customers({Orders({})}), Command("q"), "");
  ASSERT_EQ(empty_child.size(), 4u);
  EXPECT_EQ(empty_child[2].substr(0, 38), "<tr><td width=5%><img id=DTL02C1 src=p");
  EXPECT_EQ(empty_child[3], "</table></div>");

  auto two = MakeRecordset({{"ID", fieldtype::kInteger},
                            {"A", fieldtype::kChapter},
                            {"B", fieldtype::kChapter}},
                           {{42, Orders({{1, "x"}}), Orders({{2, "y"}})}});
  const auto nested = Shape(context, two, Command("q"), "");
  ASSERT_EQ(nested.size(), 10u);
  EXPECT_EQ(nested[3].substr(0, 17), "<tr id=01ROW0242 ");
  EXPECT_NE(nested[3].find("colspan=5><div id=01SHP0242"), std::string::npos);
  EXPECT_EQ(nested[6].substr(0, 17), "<tr id=02ROW0242 ");
  EXPECT_NE(nested[6].find("<div id=02SHP0242"), std::string::npos);
  EXPECT_TRUE(context.messages.empty());
}

TEST(ShapeReportTest, ColoursRepeatAfterTenLevels) {
  std::shared_ptr<Recordset> level = Orders({{1, "leaf"}});
  for (int depth = 0; depth < 10; ++depth) {
    level = MakeRecordset({{"K", fieldtype::kInteger}, {"Down", fieldtype::kChapter}},
                          {{depth, level}});
  }
  TestContext context;
  const auto lines = Shape(context, level, Command("q"), "");
  const char* colours[] = {"fa8072", "90ee90", "ffffcc", "5f9ea0", "b0e0e6", "00ffff",
                           "deb887", "8fbc8b", "d2b48c", "bc8f8f", "fa8072"};
  for (int depth = 1; depth <= 11; ++depth) {
    const std::string& heading = lines[static_cast<std::size_t>(2 * depth - 1)];
    EXPECT_NE(heading.find("<table border=" + std::to_string(depth) + " cellpadding"),
              std::string::npos) << depth;
    EXPECT_NE(heading.find(std::string("bgcolor=#") + colours[depth - 1]), std::string::npos)
        << depth;
  }
}

TEST(ShapeReportTest, RefusalsAndFailures) {
  TestContext context;
  EXPECT_TRUE(Shape(context, Orders({{1, "x"}}), Orders({}), "Orders").empty());
  auto two_records = MakeRecordset({{"Cmd", fieldtype::kVarWChar}}, {{"a"}, {"b"}});
  EXPECT_TRUE(Shape(context, Orders({{1, "x"}}), two_records, "Orders").empty());
  EXPECT_TRUE(context.queries.empty());
  EXPECT_TRUE(Shape(context, Orders({}), Command("q"), "Orders").empty());
  auto uncounted = Orders({{1, "x"}});
  uncounted->AnswerUnknownRecordCount(true);
  EXPECT_TRUE(Shape(context, uncounted, Command("q"), "Orders").empty());
  EXPECT_EQ(context.messages.size(), 2u);
  context.fetch = nullptr;
  auto command = Command("q");
  EXPECT_TRUE(RenderLines([&](TextFile& report) {
                RenderShapeReport(context, report, command, "Orders", 3);
              }).empty());

  // A chapter that holds no recordset fails the whole report mid-way: the
  // lines written stay, and one message arrives.
  auto text_chapter = MakeRecordset({{"K", fieldtype::kInteger}, {"Down", fieldtype::kChapter}},
                                    {{1, Variant::Null()}});
  auto failing = MakeRecordset({{"ID", fieldtype::kInteger}, {"Kids", fieldtype::kChapter}},
                               {{9, text_chapter}, {10, Orders({{1, "x"}})}});
  const auto partial = Shape(context, failing, Command("q"), "Orders");
  EXPECT_EQ(partial.size(), 5u);  // heading, level 1, record 9, level 2 heading, its record
  EXPECT_EQ(context.messages,
            (std::vector<std::string>{"Blank Recordset: Orders", "Improper Shape SQL: Orders",
                                      "Error Reading Data From Database",
                                      "Error: 13, Type mismatch"}));
}

TEST(ShapeReportTest, QuietWhenNotTalking) {
  TestContext context;
  context.talking = false;
  EXPECT_TRUE(Shape(context, Orders({{1, "x"}}), Orders({}), "Orders").empty());
  EXPECT_TRUE(Shape(context, Orders({{1, "x"}}), nullptr, "Orders").empty());
  context.selected_node.reset();
  EXPECT_TRUE(Shape(context, Orders({{1, "x"}}), Command("q"), "Orders+").empty());
  EXPECT_TRUE(context.messages.empty());
}

}  // namespace
}  // namespace zarel
