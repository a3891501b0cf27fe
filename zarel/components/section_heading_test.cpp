// The shared section heading, caption rule, type groups and id numbers.
#include "zarel/components/section_heading.h"

#include <gtest/gtest.h>

#include "zarel/base/error.h"
#include "zarel/testing/component_rig.h"

namespace zarel {

using namespace renderer_text;
namespace {

using testing::TestContext;

TEST(SectionHeadingTest, TypeGroupsChooseCodeAndAlignment) {
  struct Case {
    int type;
    std::string_view code;
    std::string_view form_code;
  };
  const Case cases[] = {
      {2, "Int", "Int"},   {3, "Int", "Int"},   {4, "Int", "Int"},   {16, "Int", "Int"},
      {17, "Int", "Int"},  {18, "Int", "Int"},  {19, "Int", "Int"},  {20, "Int", "Int"},
      {21, "Int", "Int"},  {5, "Dbl", "Dbl"},   {6, "Dbl", "Dbl"},   {14, "Dbl", "Dbl"},
      {131, "Dbl", "Dbl"}, {139, "Dbl", "Dbl"}, {7, "Dte", "Dte"},   {64, "Dte", "Dte"},
      {133, "Dte", "Dte"}, {134, "Dte", "Dte"}, {135, "Dte", "Dte"}, {11, " ", " "},
      {202, " ", " "},     {203, " ", "Htm"},   {205, " ", " "},     {136, " ", " "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TypeCodeOf(TypeGroupOf(c.type)), c.code) << c.type;
    EXPECT_EQ(FormTypeCodeOf(c.type), c.form_code) << c.type;
    EXPECT_EQ(IsRightAligned(TypeGroupOf(c.type)), c.code != " ") << c.type;
  }
}

TEST(SectionHeadingTest, NumbersArePadded) {
  EXPECT_EQ(ComponentDigits(7), "007");
  EXPECT_EQ(ComponentDigits(42), "042");
  EXPECT_EQ(ComponentDigits(1234), "1234");
  EXPECT_EQ(ComponentDigits(-7), "-007");
  EXPECT_EQ(LevelDigits(1), "01");
  EXPECT_EQ(LevelDigits(123), "123");
}

TEST(SectionHeadingTest, CaptionRuleAndHeading) {
  TestContext context;
  EXPECT_EQ(ApplyCaptionRule(context, "Orders for+"), "Orders for: Smith");
  EXPECT_EQ(ApplyCaptionRule(context, "A+B+ "), "A: B:  Smith");
  EXPECT_EQ(ApplyCaptionRule(context, "A+B"), "A+B");
  EXPECT_EQ(SectionHeading(context, "Orders", 7),
            "<p id='TTL007' class=ph><img src='circle.gif'>  Orders");
  EXPECT_EQ(SectionHeading(context, "", 7), "");
  context.selected_node.reset();
  EXPECT_THROW(ApplyCaptionRule(context, "Orders+"), RuntimeError);
  EXPECT_EQ(SectionHeading(context, "Orders", 7).substr(0, 10), "<p id='TTL");
}

TEST(SectionHeadingTest, SplitKeepsEmptyParts) {
  EXPECT_TRUE(SplitText("", ':').empty());
  EXPECT_EQ(SplitText("1::2", ':'), (std::vector<std::string>{"1", "", "2"}));
  EXPECT_EQ(SplitText("1:", ':'), (std::vector<std::string>{"1", ""}));
  EXPECT_EQ(AllButFirstOrdinals(4), "1:2:3");
  EXPECT_EQ(AllButFirstOrdinals(2), "1");
  EXPECT_EQ(AllButFirstOrdinals(1), "0");
  EXPECT_EQ(TrimBlanks("  a b \xC2\xA0 "), "a b \xC2\xA0");
}

}  // namespace
}  // namespace zarel
