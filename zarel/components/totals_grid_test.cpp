// The totals grid: byte-exact lines, totals lists, blank and failing cases.
#include <gtest/gtest.h>

#include "zarel/base/date_time.h"
#include "zarel/components/renderers.h"
#include "zarel/db/recordset.h"
#include "zarel/testing/component_rig.h"

namespace zarel {
namespace {

using testing::Column;
using testing::kNbspText;
using testing::MakeRecordset;
using testing::RenderLines;
using testing::TestContext;

const std::string kNb = kNbspText;

std::shared_ptr<Recordset> Orders() {
  return MakeRecordset({{"Name", fieldtype::kVarWChar},
                        {"Qty", fieldtype::kInteger},
                        {"Price", fieldtype::kCurrency},
                        {"When", fieldtype::kDate}},
                       {{"Pen", 2, Currency::FromDouble(1.5), MakeDate({2026, 12, 5})},
                        {"Ink", Variant::Null(), Currency::FromDouble(1200000.5), Variant::Null()}});
}

std::vector<std::string> Grid(TestContext& context, std::shared_ptr<Recordset> recordset,
                              const std::string& caption, std::int32_t number,
                              const std::string& totals) {
  return RenderLines([&](TextFile& report) {
    RenderTotalsGrid(context, report, recordset, caption, number, totals);
  });
}

TEST(TotalsGridTest, WritesHeadingRowsAndTotals) {
  TestContext context;
  const std::vector<std::string> lines = Grid(context, Orders(), "Orders", 7, "all");
  const std::vector<std::string> expected = {
      "<p id='TTL007' class=ph><img src='circle.gif'>  Orders<table id='TBL007' cellspacing=1 "
      "border=1 width=100%><tr><td class=tth>Name</td><td class=tth>Qty</td><td "
      "class=tth>Price</td><td class=tth>When</td>",
      "<tr><td align=left class=ttd>Pen</td><td align=right class=ttd>2</td><td align=right "
      "class=ttd>1.50</td><td align=right class=ttd>05 Dec 2026</td>",
      "<tr><td align=left class=ttd>Ink</td><td align=right class=ttd>" + kNb +
          "</td><td align=right class=ttd>1,200,000.50</td><td align=right class=ttd>" + kNb +
          "</td>",
      // The date column is listed by "all": its total cell is blank.
      "<tr><td align=left class=ttf>Total:</td><td align=right class=ttf>2</td><td align=right "
      "class=ttf>1,200,002.00</td><td align=right class=ttf>" + kNb + "</td></table><br><br>",
  };
  EXPECT_EQ(lines, expected);
  EXPECT_TRUE(context.messages.empty());
}

TEST(TotalsGridTest, TotalsListsGiveTheLastLine) {
  const std::string blank = "<td align=right class=ttf>" + kNb + "</td>";
  const std::string label = "<tr><td align=left class=ttf>Total:</td>";
  struct Case {
    std::string totals;
    std::string last_line;
  };
  const Case cases[] = {
      {"2", label + blank + "<td align=right class=ttf>1,200,002.00</td>" + blank +
                "</table><br><br>"},
      {"ALL", label + "<td align=right class=ttf>2</td><td align=right "
                      "class=ttf>1,200,002.00</td>" + blank + "</table><br><br>"},
      {" 1:1 ", label + "<td align=right class=ttf>2</td><td align=right class=ttf>2</td>" +
                    blank + blank + "</table><br><br>"},
      {"9", label + blank + blank + blank + "</table><br><br>"},
      {kNb, "</table><br><br>"},
      {"", "</table><br><br>"},
  };
  for (const Case& c : cases) {
    TestContext context;
    const std::vector<std::string> lines = Grid(context, Orders(), "", 7, c.totals);
    ASSERT_EQ(lines.size(), 4u) << c.totals;
    EXPECT_EQ(lines.front().substr(0, 20), "<table id='TBL007' c") << c.totals;
    EXPECT_EQ(lines.back(), c.last_line) << c.totals;
    EXPECT_TRUE(context.messages.empty()) << c.totals;
  }
}

TEST(TotalsGridTest, SinglesAndNullsInTotals) {
  TestContext context;
  auto recordset = MakeRecordset({{"ID", fieldtype::kInteger}, {"Weight", fieldtype::kSingle}},
                                 {{1, 2.5f}, {2, Variant::Null()}, {3, 0.25f}});
  const std::vector<std::string> lines = Grid(context, recordset, "", 1234, "all");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].substr(0, 19), "<table id='TBL1234'");
  EXPECT_EQ(lines[1], "<tr><td align=right class=ttd>1</td><td align=right class=ttd>2.5</td>");
  EXPECT_EQ(lines[2], "<tr><td align=right class=ttd>2</td><td align=right class=ttd>" + kNb +
                          "</td>");
  EXPECT_EQ(lines[4], "<tr><td align=left class=ttf>Total:</td><td align=right "
                      "class=ttf>2.75</td></table><br><br>");
}

TEST(TotalsGridTest, BlankAndUncountedRecordsets) {
  for (bool talking : {true, false}) {
    TestContext context;
    context.talking = talking;
    auto empty = MakeRecordset({{"A", fieldtype::kInteger}}, {});
    EXPECT_TRUE(Grid(context, empty, "Orders", 7, "all").empty());
    EXPECT_EQ(context.messages,
              talking ? std::vector<std::string>{"Talking: Blank Recordset: Orders"}
                      : std::vector<std::string>{});
  }
  TestContext context;
  auto uncounted = Orders();
  uncounted->AnswerUnknownRecordCount(true);
  EXPECT_TRUE(Grid(context, uncounted, "Orders", 7, "all").empty());
  EXPECT_TRUE(context.messages.empty());
}

TEST(TotalsGridTest, FailuresStopTheGridAndAreReportedWithAHyphen) {
  struct Case {
    std::string caption;
    std::string totals;
    bool with_recordset;
    std::size_t lines_written;
    std::string message;
  };
  const Case cases[] = {
      {"Orders", "1::2", true, 1, "Error-: 13, Type mismatch"},
      {"Orders", "0", true, 1, "Error-: 13, Type mismatch"},  // adds the text "Pen"
      {"Orders+", "all", true, 0, "Error-: 91, Object variable or With block variable not set"},
      {"Orders", "all", false, 0, "Error-: 91, Object variable or With block variable not set"},
  };
  for (const Case& c : cases) {
    for (bool talking : {true, false}) {
      TestContext context;
      context.talking = talking;
      context.selected_node.reset();
      const auto lines = Grid(context, c.with_recordset ? Orders() : nullptr, c.caption, 7,
                              c.totals);
      EXPECT_EQ(lines.size(), c.lines_written) << c.totals;
      EXPECT_EQ(context.messages,
                talking ? std::vector<std::string>{c.message} : std::vector<std::string>{})
          << c.totals;
    }
  }
}

TEST(TotalsGridTest, ReadsASqliteTable) {
  testing::SqliteSite site(
      "CREATE TABLE Sales(Region TEXT, Units INTEGER, Amount REAL);"
      "INSERT INTO Sales VALUES('North', 3, 10.5), ('South', NULL, 2000);");
  TestContext context;
  const auto lines = Grid(context, site.Query("SELECT Region, Units, Amount FROM Sales"),
                          "Sales", 3, "all");
  const std::vector<std::string> expected = {
      "<p id='TTL003' class=ph><img src='circle.gif'>  Sales<table id='TBL003' cellspacing=1 "
      "border=1 width=100%><tr><td class=tth>Region</td><td class=tth>Units</td><td "
      "class=tth>Amount</td>",
      "<tr><td align=left class=ttd>North</td><td align=right class=ttd>3</td><td align=right "
      "class=ttd>10.50</td>",
      "<tr><td align=left class=ttd>South</td><td align=right class=ttd>" + kNb +
          "</td><td align=right class=ttd>2,000.00</td>",
      "<tr><td align=left class=ttf>Total:</td><td align=right class=ttf>3</td><td align=right "
      "class=ttf>2,010.50</td></table><br><br>",
  };
  EXPECT_EQ(lines, expected);
}

}  // namespace
}  // namespace zarel
