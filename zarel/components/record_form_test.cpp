// The record form ("header" and "htmlinject").
#include <gtest/gtest.h>

#include "zarel/base/date_time.h"
#include "zarel/components/renderers.h"
#include "zarel/testing/component_rig.h"

namespace zarel {
namespace {

using testing::MakeRecordset;
using testing::RenderLines;
using testing::TestContext;

std::vector<std::string> Form(TestContext& context, std::shared_ptr<Recordset> recordset,
                              const std::string& caption, std::int32_t number, bool labelled) {
  return RenderLines([&](TextFile& report) {
    RenderRecordForm(context, report, recordset, caption, number, labelled);
  });
}

TEST(RecordFormTest, HeaderShowsTheFirstRecordWithLabels) {
  TestContext context;
  auto customers = MakeRecordset({{" Name ", fieldtype::kVarWChar}, {"Balance", fieldtype::kCurrency}},
                                 {{"Smith", Currency::FromDouble(1234.5)},
                                  {"Jones", Currency::FromDouble(1)},
                                  {"Brown", Currency::FromDouble(2)}});
  EXPECT_EQ(Form(context, customers, "Customer", 3, true),
            std::vector<std::string>{
                "<p id='TTL003' class=ph><img src='circle.gif'>  Customer<table id='TBL003' "
                "cellspacing=1 border=1 width=100%><tr><td class=hn width=40%>Name: </td><td "
                "class=hv>Smith</td><tr><td class=hn width=40%>Balance: </td><td "
                "class=hv>1,234.50</td></table><br><br>"});
  EXPECT_TRUE(context.messages.empty());
}

TEST(RecordFormTest, HtmlInjectAndTypeCodes) {
  TestContext context;
  auto fragment = MakeRecordset({{"Html", fieldtype::kVarWChar}}, {{"<b>Hi & bye</b>"}});
  EXPECT_EQ(Form(context, fragment, "", 5, false),
            std::vector<std::string>{"<table id='TBL005' cellspacing=1 border=1 width=100%><tr>"
                                     "<td class=hv><b>Hi & bye</b></td></table><br><br>"});
  auto typed = MakeRecordset({{"Memo", fieldtype::kLongVarWChar},
                              {"Day", fieldtype::kDBTimeStamp},
                              {"Paid", fieldtype::kBoolean},
                              {"Note", fieldtype::kVarWChar}},
                             {{" <i>x</i> ", MakeDate({2026, 12, 5}), true, Variant::Null()}});
  EXPECT_EQ(Form(context, typed, "", 5, false),
            std::vector<std::string>{"<table id='TBL005' cellspacing=1 border=1 width=100%><tr>"
                                     "<td class=hv><i>x</i></td><td class=hv>05 Dec 2026</td>"
                                     "<td class=hv>True</td><td class=hv>\xC2\xA0</td>"
                                     "</table><br><br>"});
}

TEST(RecordFormTest, BlankUncountedAndFailing) {
  for (bool talking : {true, false}) {
    TestContext context;
    context.talking = talking;
    EXPECT_TRUE(Form(context, MakeRecordset({{"A", fieldtype::kInteger}}, {}), "Customer", 3,
                     true).empty());
    auto uncounted = MakeRecordset({{"A", fieldtype::kInteger}}, {{1}});
    uncounted->AnswerUnknownRecordCount(true);
    EXPECT_TRUE(Form(context, uncounted, "Customer", 3, true).empty());
    context.selected_node.reset();
    EXPECT_TRUE(Form(context, MakeRecordset({{"A", fieldtype::kInteger}}, {{1}}), "For+", 3,
                     true).empty());
    EXPECT_TRUE(Form(context, nullptr, "Customer", 3, false).empty());
    const std::vector<std::string> expected =
        talking ? std::vector<std::string>{"Blank Recordset: Customer",
                                           "Error: 91, Object variable or With block variable "
                                           "not set",
                                           "Error: 91, Object variable or With block variable "
                                           "not set"}
                : std::vector<std::string>{};
    EXPECT_EQ(context.messages, expected);
  }
}

}  // namespace
}  // namespace zarel
