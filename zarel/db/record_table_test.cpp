// Tests of the recordsets' compact row storage: every kind of value comes
// back exactly (kind included) across blocks, through the change from one
// kind per column to several, and through the whole-table changes.
#include "zarel/db/record_table.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "zarel/base/error.h"
#include "zarel/testing/databases.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

using testing::Describe;
using testing::ErrorNumberOf;

class Marker : public Object {};

// One value of every kind the storage knows.
std::vector<Variant> EveryKind() {
  static const ObjectRef object = std::make_shared<Marker>();
  return {Variant(),
          Variant::Null(),
          Variant(true),
          Variant(false),
          Variant(std::int16_t{-32768}),
          Variant(std::int32_t{2147483647}),
          Variant(std::int64_t{-9223372036854775807LL - 1}),
          Variant(1.5f),
          Variant(-0.0),
          Variant(1e308),
          Variant(Currency{-123456789}),
          Variant(Date{45000.75}),
          Variant(std::string()),
          Variant(std::string("caf\xC3\xA9 \xC2\xBB")),
          Variant(std::string(300, 'x')),
          Variant(Bytes{0, 255, 0, 7}),
          Variant(Bytes{}),
          Variant(object)};
}

// The values of a table, described, row by row.
std::vector<std::string> DescribeAll(const RecordTable& table) {
  std::vector<std::string> seen;
  for (std::size_t row = 0; row < table.Rows(); ++row) {
    for (std::size_t column = 0; column < table.Columns(); ++column) {
      seen.push_back(Describe(table.Value(row, column)));
    }
  }
  return seen;
}

std::vector<std::string> DescribeAll(const std::vector<Variant>& values) {
  std::vector<std::string> seen;
  for (const Variant& value : values) seen.push_back(Describe(value));
  return seen;
}

TEST(RecordTable, EveryValueComesBackAsItWasAppended) {
  const std::vector<Variant> kinds = EveryKind();
  // Columns of one kind throughout, columns whose kind changes part way
  // (after Nulls, after texts, after numbers), in more than one block.
  struct Case {
    const char* what;
    std::function<Variant(std::size_t row)> value;
  };
  const std::vector<Case> cases = {
      {"whole numbers", [](std::size_t row) { return Variant(static_cast<std::int32_t>(row) - 1000); }},
      {"doubles with Nulls", [](std::size_t row) {
         return row % 7 == 0 ? Variant::Null() : Variant(static_cast<double>(row) / 8);
       }},
      {"texts with Nulls and empty texts", [](std::size_t row) {
         if (row % 5 == 0) return Variant::Null();
         if (row % 5 == 1) return Variant(std::string());
         return Variant("Customer " + std::to_string(row));
       }},
      {"Nulls, then a first value late in a block", [](std::size_t row) {
         return row < 1500 ? Variant::Null() : Variant(std::int16_t{7});
       }},
      {"one kind, then another in the second block", [](std::size_t row) {
         return row < 1100 ? Variant("t" + std::to_string(row)) : Variant(static_cast<std::int64_t>(row));
       }},
      {"every kind in turn", [&kinds](std::size_t row) { return kinds[row % kinds.size()]; }},
      {"texts, then bytes", [](std::size_t row) {
         return row % 3 == 2 ? Variant(Bytes{1, 2, static_cast<std::uint8_t>(row)}) : Variant("r" + std::to_string(row));
       }},
      {"whole numbers that need wider and wider places", [](std::size_t row) {
         const auto n = static_cast<std::int64_t>(row % 1024);
         if (n < 100) return Variant(1000 + n);
         if (n < 400) return Variant(-n * 100);
         if (n < 700) return Variant(n * 1000000);
         if (n % 2 == 0) return Variant(std::numeric_limits<std::int64_t>::min() + n);
         return Variant(std::numeric_limits<std::int64_t>::max() - n);
       }},
      {"money far from the first value", [](std::size_t row) {
         return Variant(Currency{(row % 2 == 0 ? 1 : -1) * static_cast<std::int64_t>(row) * 98765432101LL});
       }},
      {"doubles with more and more decimals, then none that fit", [](std::size_t row) {
         const std::size_t n = row % 1024;
         if (n < 200) return Variant(static_cast<double>(n) * 0.5);
         if (n < 400) return Variant(static_cast<double>(n) / 8);
         if (n < 600) return Variant(static_cast<double>(n) / 1000);
         if (n == 600) return Variant(-0.0);
         if (n < 800) return Variant(1.0 / static_cast<double>(n));
         return Variant(static_cast<double>(n) * 0.01);
       }},
      {"doubles no decimal places hold", [](std::size_t row) {
         const double odd[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(), -0.0, 3e9, 1e-12, 2147483647.0,
                               -2147483648.0, 0.1 + 0.2};
         return Variant(odd[row % 9]);
       }},
      {"dates at noon, then at any time", [](std::size_t row) {
         return Variant(Date{45000.0 + static_cast<double>(row % 1024) * (row % 1024 < 512 ? 0.5 : 0.123456789)});
       }},
      {"texts past 64 KiB in a block", [](std::size_t row) {
         return Variant(std::string(100 + row % 50, static_cast<char>('a' + row % 26)));
       }},
  };
  constexpr std::size_t kRows = 2500;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordTable table(2);
    std::vector<Variant> expected;
    for (std::size_t row = 0; row < kRows; ++row) {
      table.Append(c.value(row));
      table.AppendLong(static_cast<std::int32_t>(row));
      table.EndRow();
      expected.push_back(c.value(row));
      expected.push_back(Variant(static_cast<std::int32_t>(row)));
    }
    ASSERT_EQ(table.Rows(), kRows);
    EXPECT_EQ(DescribeAll(table), DescribeAll(expected));
    // Reading into one Variant, row after row, gives each value in turn.
    Variant reused;
    for (std::size_t row = 0; row < kRows; ++row) {
      table.Cell(row, 0).CopyTo(reused);
      ASSERT_EQ(DescribeAll({reused}), DescribeAll({expected[row * 2]})) << "row " << row;
    }
  }
}

TEST(RecordTable, WholeTableChanges) {
  RecordTable table(2);
  for (int row = 0; row < 3000; ++row) {
    table.AppendLongLong(row);
    table.AppendText(row % 2 == 0 ? "even" : "odd");
    table.EndRow();
  }
  const RecordTable picked = table.SelectRows({2999, 0, 1500, 1500});
  EXPECT_EQ(DescribeAll(picked),
            (std::vector<std::string>{"LongLong 2999", "String odd", "LongLong 0", "String even",
                                      "LongLong 1500", "String even", "LongLong 1500", "String even"}));

  std::vector<Variant> added;
  for (int row = 0; row < 3000; ++row) added.push_back(row % 1000 == 0 ? Variant::Null() : Variant(row * 0.5));
  table.AddColumn(added);
  ASSERT_EQ(table.Columns(), 3u);
  EXPECT_EQ(Describe(table.Value(2001, 2)), "Double 1000.5");
  EXPECT_EQ(Describe(table.Value(2000, 2)), "Null");

  table.ConvertColumn(0, [](const CellView& value) {
    return value.whole % 2 == 0 ? Variant(static_cast<std::int32_t>(value.whole)) : Variant::Null();
  });
  EXPECT_EQ(Describe(table.Value(2998, 0)), "Long 2998");
  EXPECT_EQ(Describe(table.Value(2999, 0)), "Null");
  EXPECT_EQ(Describe(table.Value(2999, 1)), "String odd");

  // Rows without columns still count.
  RecordTable bare(0);
  bare.EndRow();
  bare.EndRow();
  EXPECT_EQ(bare.Rows(), 2u);
  bare.AddColumn({Variant(1), Variant(2)});
  EXPECT_EQ(Describe(bare.Value(1, 0)), "Long 2");
}

TEST(RecordTable, MisuseRaises) {
  RecordTable table(2);
  table.AppendLong(1);
  EXPECT_EQ(ErrorNumberOf([&] { table.EndRow(); }), errc::kInternalError);  // one value short
  table.AppendLong(2);
  EXPECT_EQ(ErrorNumberOf([&] { table.AppendLong(3); }), errc::kInternalError);  // one too many
  table.EndRow();
  EXPECT_EQ(ErrorNumberOf([&] { (void)table.Cell(1, 0); }), errc::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumberOf([&] { (void)table.Cell(0, 2); }), errc::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumberOf([&] { table.AddColumn({}); }), errc::kInternalError);
  EXPECT_EQ(Describe(table.Value(0, 1)), "Long 2");
}

}  // namespace
}  // namespace zarel
