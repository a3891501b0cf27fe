// Tests of the parameter keywords, value formatting by type code, the Null
// readers, role lists and node colours.
#include "zarel/engine/query_parameters.h"

#include <gtest/gtest.h>

#include "zarel/base/clock.h"
#include "zarel/base/date_time.h"
#include "zarel/base/error.h"
#include "zarel/base/format.h"
#include "zarel/engine/navigation_tree.h"
#include "zarel/hostkit/headless_tree_view.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

using testing::ErrorNumberOf;

// A tree view whose selected node has the given key and text.
std::shared_ptr<HeadlessTreeView> TreeWithSelected(const std::string& key,
                                                   const std::string& text) {
  auto tree = HeadlessTreeView::Create();
  TreeNodeRef root = tree->Nodes().Add();
  TreeNodeRef node = tree->Nodes().Add(root, kTreeChild, key, text, Variant());
  node->Selected(true);
  return tree;
}

TEST(QueryParametersTest, KeywordsBecomeArgumentTexts) {
  FixedClock clock(MakeDate({2026, 12, 5, 14, 5, 9}));
  struct Case {
    std::string keyword, key, text, expected;
  } cases[] = {
      {"text", "7\xC2\xBBvariable\xC2\xBB" "3", "Smith", " 'Smith'"},
      {"TEXT", "k", "O'Brien", " 'O''Brien'"},
      {"Text", "k", "it''s", " 'it''''s'"},
      {" text", "k", "Smith", ""},
      {"today", "k", "x", " '05 Dec 2026'"},
      {"lkey", "17\xC2\xBB" "fixed", "x", " 17"},
      {"skey", "17\xC2\xBB" "fixed", "x", " '17'"},
      {"LKey", "plain", "x", " plain"},
      // Apostrophes of a key are doubled as those of a text are.
      {"skey", "O'Brien\xC2\xBBvariable\xC2\xBB" "3", "x", " 'O''Brien'"},
      {"lkey", "\xC2\xBBvariable\xC2\xBB" "4", "x", " "},
      // A key that is not one argument written as it stands goes quoted.
      {"lkey", "1, 2\xC2\xBBvariable\xC2\xBB" "4", "x", " '1, 2'"},
      {"lkey", "1e400\xC2\xBBvariable\xC2\xBB" "4", "x", " '1e400'"},
      {"lkey", "O'Brien\xC2\xBBvariable\xC2\xBB" "4", "x", " 'O''Brien'"},
      {"other", "k", "x", ""},
      {"", "k", "x", ""},
  };
  for (const Case& c : cases) {
    auto tree = TreeWithSelected(c.key, c.text);
    EXPECT_EQ(ApplyQueryParameters(c.keyword, tree.get()), c.expected) << c.keyword << " " << c.key;
  }
}

TEST(QueryParametersTest, ValuesThatCannotBeReadGiveNoArgument) {
  // The root node has no key; no node selected; no tree view at all.
  auto tree = HeadlessTreeView::Create();
  TreeNodeRef root = tree->Nodes().Add();
  root->Text("Site");
  EXPECT_EQ(ApplyQueryParameters("text", tree.get()), "");
  root->Selected(true);
  EXPECT_EQ(ApplyQueryParameters("text", tree.get()), " 'Site'");
  EXPECT_EQ(ApplyQueryParameters("lkey", tree.get()), "");
  EXPECT_EQ(ApplyQueryParameters("skey", tree.get()), "");
  EXPECT_EQ(ApplyQueryParameters("text", nullptr), "");
  EXPECT_EQ(ApplyQueryParameters("lkey", nullptr), "");
}

TEST(QueryParametersTest, FormatValueByTypeCode) {
  const std::string nbsp = "\xC2\xA0";
  struct Case {
    Variant value;
    std::string code, date_format, expected;
  } cases[] = {
      {Variant::Null(), "Dbl", "", nbsp},
      {Variant::Null(), " ", "", nbsp},
      {Variant(""), "Int", "", ""},
      {Variant(" 12.5 "), "Dbl", "", "12.50"},
      {Variant(1200000.5), "Dbl", "", "1,200,000.50"},
      {Variant(" abc "), "Dbl", "", "abc"},
      {Variant(" abc "), "Int", "", "abc"},
      {Variant(" <b>x</b> "), "Htm", "", "<b>x</b>"},
      {Variant(std::int32_t{42}), " ", "", "42"},
      {Variant(" 42 "), "dbl", "", "42"},
      {Variant(MakeDate({2026, 12, 5, 14, 5, 9})), "Dte", "dd Mmm yyyy", "05 Dec 2026"},
      {Variant(MakeDate({2026, 12, 5, 0, 0, 0})), "Dte", "", "12/5/2026"},
      {Variant("2026-12-05"), "Dte", "yyyy/mm/dd", "2026/12/05"},
      {Variant("no date"), "Dte", "dd Mmm yyyy", "no date"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatValue(c.value, c.code, c.date_format), c.expected)
        << c.value.TextOrEmpty() << " " << c.code;
  }
}

// Numbers are formatted without going through their text; the result must
// be what their text gives, at the rounding edges too (1.005 is stored a
// little below 1.005, but its 15-digit text reads 1.005), and other values
// (booleans, dates) keep going through their text.
TEST(QueryParametersTest, DblNumbersMatchTheirText) {
  const Variant values[] = {
      Variant(1.005),           Variant(0.125),
      Variant(-2.5),            Variant(2.675),
      Variant(1e16),            Variant(1.5e-5),
      Variant(-0.004),          Variant(123456789.125),
      Variant(0.1 + 0.2),       Variant(999999999999999.9),
      Variant(1.1f),            Variant(std::int16_t{-7}),
      Variant(std::int32_t{1200000}), Variant(std::int64_t{9000000000}),
      Variant(Currency{123456789}), Variant(Currency{-5}),
      Variant(true),            Variant(MakeDate({2026, 12, 5, 0, 0, 0})),
  };
  for (const Variant& value : values) {
    EXPECT_EQ(FormatValue(value, "Dbl", ""), Format(Variant(value.ToText()), "#,##,##0.00")) << value.ToText();
  }
  EXPECT_EQ(FormatValue(Variant(1.005), "Dbl", ""), "1.01");
  EXPECT_EQ(FormatValue(Variant(true), "Dbl", ""), "True");
}

TEST(QueryParametersTest, NullReaders) {
  EXPECT_EQ(NullToZero(Variant::Null()).Type(), VarType::kInteger);
  EXPECT_EQ(NullToZero(Variant::Null()).ToInteger(), 0);
  EXPECT_EQ(NullToZero(Variant("7")).Type(), VarType::kString);
  EXPECT_EQ(NullToZero(Variant("")).AsString(), "");
  EXPECT_EQ(NullToInteger(Variant::Null()), 0);
  EXPECT_EQ(NullToInteger(Variant(2.5)), 2);
  EXPECT_EQ(NullToInteger(Variant(3.5)), 4);
  EXPECT_EQ(NullToInteger(Variant(" 5 ")), 5);
  EXPECT_EQ(ErrorNumberOf([] { NullToInteger(Variant("")); }), errc::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { NullToInteger(Variant(40000.0)); }), errc::kOverflow);
}

TEST(NavigationRulesTest, RoleListsAndColours) {
  struct Case {
    std::string roles;
    std::int16_t role;
    bool allowed;
  } cases[] = {
      {"", 0, true}, {"", 9, true},     {"2:5", 5, true},  {"2:5", 2, true},
      {"2:5", 3, false}, {" 2 : 5", 5, true}, {"7", 7, true}, {"7", 0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RoleAllowed(c.roles, c.role), c.allowed) << c.roles << " " << c.role;
  }
  EXPECT_EQ(ErrorNumberOf([] { RoleAllowed("2:x", 5); }), errc::kTypeMismatch);
  // The first matching entry answers before a bad one is reached.
  EXPECT_TRUE(RoleAllowed("5:x", 5));

  struct Colour {
    std::string kind;
    std::int32_t colour;
  } colours[] = {{"fixed", 255}, {"Fixed", 255}, {"v", 16711680}, {"Tree", 29952},
                 {"treeleaf", 29952}, {"leaf", 0}, {"", 0}, {"x", 0}};
  for (const Colour& c : colours) {
    const Variant colour = NodeColour(c.kind);
    EXPECT_EQ(colour.Type(), VarType::kLong) << c.kind;
    EXPECT_EQ(colour.ToLong(), c.colour) << c.kind;
  }
}

}  // namespace
}  // namespace zarel
