// The bar chart: one chart per listed column, scales, widths and failures.
#include <gtest/gtest.h>

#include <regex>

#include "zarel/components/renderers.h"
#include "zarel/testing/component_rig.h"

namespace zarel {
namespace {

using testing::MakeRecordset;
using testing::RenderLines;
using testing::TestContext;

std::shared_ptr<Recordset> Values(const std::vector<Variant>& values) {
  std::vector<std::vector<Variant>> rows;
  for (const Variant& value : values) {
    rows.push_back({std::string(1, static_cast<char>('a' + rows.size() % 26)), value, 1, 2});
  }
  return MakeRecordset({{"Label", fieldtype::kVarWChar},
                        {"Amount", fieldtype::kDouble},
                        {"Two", fieldtype::kInteger},
                        {"Three", fieldtype::kInteger}},
                       rows);
}

std::vector<std::string> Chart(TestContext& context, std::shared_ptr<Recordset> recordset,
                               const std::string& caption, std::int32_t number,
                               const std::string& columns) {
  return RenderLines([&](TextFile& report) {
    RenderBarChart(context, report, recordset, caption, number, columns);
  });
}

std::string Bar(const std::string& label, const char* image, int height) {
  return " <td valign=bottom rowspan=2 width=6% ><p class=cdv>" + label + "<img src='" + image +
         "' width=100% height=" + std::to_string(height) + "></td>";
}

TEST(BarChartTest, DrawsBarsOnOneScale) {
  TestContext context;
  context.selected_node = "North";
  const auto lines = Chart(context, Values({10, -5, 0, Variant::Null()}), "Sales+", 5, "1");
  EXPECT_EQ(lines, std::vector<std::string>{
                       "<table border=1><tr><td><img id='CTL005' src='circle.gif'></td><td "
                       "id='CTLCAP005' class=ph>Sales: North: Amount</td></table><br><table "
                       "cellspacing=0 cellpadding=1 border=0 id='CGR005' width=30%><TR><TD "
                       "VALIGN=TOP ALIGN=RIGHT width=1% class=cal>10</TD>" +
                       Bar("10", "cbg.gif", 200) + Bar("-5", "cbr.gif", 100) +
                       Bar("", "cbg.gif", 0) + Bar("", "cbg.gif", 0) +
                       "</tr><tr><td valign=bottom align=right class=cal>0</td></tr><tr><td "
                       "align=right valign=bottom class=cal></td><td class=cal>a</td><td "
                       "class=cal>b</td><td class=cal>c</td><td class=cal>d</td></tr>"
                       "</table><br>"});
  EXPECT_TRUE(context.messages.empty());
}

TEST(BarChartTest, ScalesFromWholeNumbers) {
  struct Case {
    std::vector<Variant> values;
    std::string scale_and_bars;
  };
  const Case cases[] = {
      {{2.4, 1}, "2</TD>" + Bar("2", "cbg.gif", 240) + Bar("1", "cbg.gif", 100)},
      {{-8, 3}, "8</TD>" + Bar("-8", "cbr.gif", 200) + Bar("3", "cbg.gif", 75)},
      // A scale of 0 draws bars of height 0 instead of failing.
      {{0, 0.4}, "0</TD>" + Bar("", "cbg.gif", 0) + Bar("0", "cbg.gif", 0)},
  };
  for (const Case& c : cases) {
    TestContext context;
    const auto lines = Chart(context, Values(c.values), "", 5, "1");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 58), "<br><table cellspacing=0 cellpadding=1 border=0 id='CGR005");
    const std::size_t start = lines[0].find("class=cal>") + 10;
    EXPECT_EQ(lines[0].substr(start, c.scale_and_bars.size()), c.scale_and_bars);
    EXPECT_TRUE(context.messages.empty());
  }
}

TEST(BarChartTest, ColumnListsNumberTheCharts) {
  struct Case {
    int fields;
    std::string list;
    std::int32_t number;
    std::vector<std::string> ids;
  };
  const Case cases[] = {
      {4, "ALL", 5, {"CGR051", "CGR052", "CGR053"}},
      {2, "all", 5, {"CGR005"}},
      {4, "all:2", 7, {"CGR711", "CGR712", "CGR713", "CGR072"}},
      {4, "1:3:2", 7, {"CGR071", "CGR072", "CGR073"}},
      {4, " 2 ", 1234, {"CGR1234"}},
  };
  for (const Case& c : cases) {
    TestContext context;
    auto recordset = Values({3, 4});
    if (c.fields == 2) {
      recordset = MakeRecordset({{"Label", fieldtype::kVarWChar}, {"N", fieldtype::kInteger}},
                                {{"x", 1}});
    }
    const auto lines = Chart(context, recordset, "", c.number, c.list);
    std::vector<std::string> ids;
    for (const std::string& line : lines) {
      std::smatch match;
      if (std::regex_search(line, match, std::regex("id='(CGR[0-9]+)'"))) ids.push_back(match[1]);
    }
    EXPECT_EQ(ids, c.ids) << c.list;
    EXPECT_TRUE(context.messages.empty()) << c.list;
  }
}

TEST(BarChartTest, BarWidthsFollowTheRecordCount) {
  struct Case {
    int records;
    std::string bar_width, table_width;
  };
  const Case cases[] = {{1, "6", "12"},  {15, "6", "96"},  {16, "5", "85"}, {19, "4", "80"},
                        {24, "4", "100"}, {49, "2", "100"}, {98, "1", "99"}, {99, "0", "0"},
                        // Past 32,767 records the chart is still drawn.
                        {40000, "0", "0"}};
  for (const Case& c : cases) {
    TestContext context;
    std::vector<Variant> values(static_cast<std::size_t>(c.records), Variant(7));
    const auto lines = Chart(context, Values(values), "", 5, "1");
    ASSERT_EQ(lines.size(), 1u) << c.records;
    EXPECT_NE(lines[0].find("id='CGR005' width=" + c.table_width + "%>"), std::string::npos);
    const std::string bar = " <td valign=bottom rowspan=2 width=" + c.bar_width + "% >";
    std::size_t bars = 0;
    for (std::size_t at = lines[0].find(bar); at != std::string::npos;
         at = lines[0].find(bar, at + 1)) {
      ++bars;
    }
    EXPECT_EQ(bars, static_cast<std::size_t>(c.records));
    EXPECT_TRUE(context.messages.empty());
  }
}

TEST(BarChartTest, BlankUncountedAndFailingCharts) {
  TestContext context;
  EXPECT_TRUE(Chart(context, Values({}), "Sales", 5, "1").empty());
  auto uncounted = Values({1});
  uncounted->AnswerUnknownRecordCount(true);
  EXPECT_EQ(Chart(context, uncounted, "Sales", 5, "1"), std::vector<std::string>{"<br>"});
  EXPECT_TRUE(Chart(context, Values({1}), "", 5, testing::kNbspText).empty());
  EXPECT_TRUE(Chart(context, Values({1}), "", 5, "9").empty());
  EXPECT_TRUE(Chart(context, MakeRecordset({{"A", fieldtype::kInteger}}, {{1}}), "", 5, "all")
                  .empty());
  // One failing column of a list: the others are still drawn.
  EXPECT_EQ(Chart(context, Values({1}), "", 5, "1::2").size(), 2u);
  const std::string missing =
      "Error: 3265, Item cannot be found in the collection corresponding to the requested name "
      "or ordinal.";
  EXPECT_EQ(context.messages,
            (std::vector<std::string>{"Blank Recordset: Sales", "Error: 13, Type mismatch",
                                      missing, "Error: 5, Invalid procedure call or argument",
                                      "Error: 13, Type mismatch"}));
  TestContext quiet;
  quiet.talking = false;
  EXPECT_TRUE(Chart(quiet, Values({}), "Sales", 5, "1").empty());
  EXPECT_TRUE(Chart(quiet, Values({1}), "", 5, "x").empty());
  EXPECT_TRUE(quiet.messages.empty());
}

}  // namespace
}  // namespace zarel
