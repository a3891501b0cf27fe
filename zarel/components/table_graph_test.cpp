// The table graph: row bars, total bars, the three component types, and
// graphs whose scale is 0.
#include <gtest/gtest.h>

#include "zarel/base/date_time.h"
#include "zarel/components/renderers.h"
#include "zarel/testing/component_rig.h"

namespace zarel {
namespace {

using testing::kNbspText;
using testing::MakeRecordset;
using testing::RenderLines;
using testing::TestContext;

const std::string kNb = kNbspText;
const std::string kHeading =
    "<table id='TBL009' cellspacing=1 border=1 width=100%><tr><td class=tth>Name</td><td "
    "class=tth>Qty</td><td class=tth>Amount</td>";

std::shared_ptr<Recordset> Amounts(const std::vector<Variant>& amounts) {
  std::vector<std::vector<Variant>> rows;
  int qty = 1;
  for (const Variant& amount : amounts) {
    rows.push_back({std::string(1, static_cast<char>('A' + rows.size())), qty++, amount});
  }
  return MakeRecordset({{"Name", fieldtype::kVarWChar},
                        {"Qty", fieldtype::kInteger},
                        {"Amount", fieldtype::kDouble}},
                       rows);
}

std::vector<std::string> Graph(TestContext& context, std::shared_ptr<Recordset> recordset,
                               const std::string& totals, const std::string& field, bool rows,
                               bool columns) {
  return RenderLines([&](TextFile& report) {
    RenderTableGraph(context, report, recordset, "", 9, totals, field, rows, columns);
  });
}

TEST(TableGraphTest, RowAndTotalBars) {
  TestContext context;
  const auto lines = Graph(context, Amounts({50, -100, 25}), "1:2", "amount", true, true);
  const std::vector<std::string> expected = {
      kHeading + "<td class=tth width=150>Graph: Amount</td>",
      "<tr><td align=left class=ttd>A</td><td align=right class=ttd>1</td><td align=right "
      "class=ttd>50.00</td><td align=left><img src='cbg.gif' height=20 width=75></td>",
      "<tr><td align=left class=ttd>B</td><td align=right class=ttd>2</td><td align=right "
      "class=ttd>-100.00</td><td align=left><img src='cbr.gif' height=20 width=150></td>",
      "<tr><td align=left class=ttd>C</td><td align=right class=ttd>3</td><td align=right "
      "class=ttd>25.00</td><td align=left><img src='cbg.gif' height=20 width=37.5></td>",
      "<tr><td align=left class=ttf>Total:</td><td align=right class=ttf>6</td><td align=right "
      "class=ttf>-25.00</td>",
      "<tr><td align=left class=hn>Graph (Total):</td><td valign=top align=right><img "
      "src='cbg.gif' width=30 height=24></td><td valign=top align=right><img src='cbr.gif' "
      "width=30 height=100></td></table><br><br>",
  };
  EXPECT_EQ(lines, expected);
  EXPECT_TRUE(context.messages.empty());
}

TEST(TableGraphTest, ComponentTypesAndOptions) {
  const std::string unlisted = "<td class=ttf>" + kNb + "</td>";
  struct Case {
    std::string totals, field;
    bool rows, columns;
    std::string first_line_tail, second_last, last;
  };
  const Case cases[] = {
      // "tablegraphv": no row bars; the unlisted total cell has no alignment.
      {"2", "Amount", false, true, "",
       "<tr><td align=left class=ttf>Total:</td>" + unlisted +
           "<td align=right class=ttf>40.00</td>",
       "<tr><td align=left class=hn>Graph (Total):</td><td valign=top align=right><img "
       "src='cbg.gif' width=30 height=0></td><td valign=top align=right><img src='cbg.gif' "
       "width=30 height=100></td></table><br><br>"},
      // "tablegraphh" without totals, and an option naming no field.
      {kNb, "Amount", true, false, "<td class=tth width=150>Graph: Amount</td>", "", "</table><br><br>"},
      {kNb, "Missing", true, true, "", "", "</table><br><br>"},
      {"2", kNb, true, false, "",
       "<tr><td align=left class=ttf>Total:</td>" + unlisted +
           "<td align=right class=ttf>40.00</td>",
       "</table><br><br>"},
      // Totals wanted but no entries: an empty line before the end.
      {"", "x", false, true, "", "", "</table><br><br>"},
  };
  for (const Case& c : cases) {
    TestContext context;
    const auto lines = Graph(context, Amounts({10, 30}), c.totals, c.field, c.rows, c.columns);
    ASSERT_GE(lines.size(), 4u) << c.totals << c.field;
    EXPECT_EQ(lines[0], kHeading + c.first_line_tail) << c.totals << c.field;
    EXPECT_EQ(lines[lines.size() - 1], c.last) << c.totals << c.field;
    if (!(c.totals == kNb)) EXPECT_EQ(lines[lines.size() - 2], c.second_last) << c.totals << c.field;
    else EXPECT_EQ(lines.size(), 4u);
  }
}

TEST(TableGraphTest, ScaleZeroDrawsEmptyBars) {
  TestContext context;
  const auto lines = Graph(context, Amounts({0, Variant::Null()}), "2", "Amount", true, true);
  ASSERT_EQ(lines.size(), 5u);
  for (int row : {1, 2}) {
    EXPECT_TRUE(lines[row].ends_with("<td align=left><img src='cbg.gif' height=20 width=0></td>"))
        << lines[row];
  }
  EXPECT_EQ(lines[4], "<tr><td align=left class=hn>Graph (Total):</td><td valign=top "
                      "align=right><img src='cbg.gif' width=30 height=0></td><td valign=top "
                      "align=right><img src='cbg.gif' width=30 height=0></td></table><br><br>");
  EXPECT_TRUE(context.messages.empty());
}

TEST(TableGraphTest, ListedDateColumnGetsABlankCellAndABar) {
  TestContext context;
  auto days = MakeRecordset({{"ID", fieldtype::kInteger}, {"Day", fieldtype::kDate}},
                            {{1, MakeDate({1900, 1, 9})}});  // serial 10
  const auto lines = Graph(context, days, "1", "", false, true);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], "<tr><td align=left class=ttf>Total:</td><td class=ttf>" + kNb + "</td>");
  EXPECT_EQ(lines[3], "<tr><td align=left class=hn>Graph (Total):</td><td valign=top "
                      "align=right><img src='cbg.gif' width=30 height=100></td></table><br><br>");
}

TEST(TableGraphTest, BlankAndFailing) {
  for (bool talking : {true, false}) {
    TestContext context;
    context.talking = talking;
    EXPECT_TRUE(Graph(context, Amounts({}), "", "Amount", true, true).empty());
    EXPECT_TRUE(Graph(context, MakeRecordset({{"Amount", fieldtype::kVarWChar}}, {{"many"}}), "",
                      "Amount", true, true).empty());
    EXPECT_EQ(Graph(context, Amounts({1, 2}), "1::2", "Amount", true, true).size(), 1u);
    const std::vector<std::string> expected =
        talking ? std::vector<std::string>{"Blank Recordset: ", "Error: 13, Type mismatch",
                                           "Error: 13, Type mismatch"}
                : std::vector<std::string>{};
    EXPECT_EQ(context.messages, expected);
  }
}

}  // namespace
}  // namespace zarel
