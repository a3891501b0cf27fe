// Tests of the client-side recordset: sorting, GetRows, fabricated
// recordsets, the batch-edit bookkeeping and the errors of misuse.
#include "zarel/db/recordset.h"

#include <gtest/gtest.h>

#include <functional>

#include "zarel/base/error.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

using testing::ErrorNumberOf;

FieldInfo Info(std::string name, int type = fieldtype::kVarWChar) {
  FieldInfo info;
  info.name = std::move(name);
  info.type = type;
  return info;
}

std::shared_ptr<Recordset> Make(std::vector<FieldInfo> fields,
                                std::vector<std::vector<Variant>> rows) {
  auto recordset = Recordset::Create();
  recordset->OpenWith(RecordsetData{std::move(fields), std::move(rows)});
  return recordset;
}

// The values of field 0 in row order, as texts ("Null" for Null).
std::string Column0(Recordset& recordset) {
  std::string seen;
  for (recordset.MoveFirst(); !recordset.Eof(); recordset.MoveNext()) {
    const Variant& value = recordset.Fields()[0].Value();
    if (!seen.empty()) seen += ",";
    seen += value.IsNull() ? "Null" : value.ToText();
  }
  return seen;
}

Variant DateOf(double serial) { return Variant(Date{serial}); }

TEST(RecordsetSort, OrdersRowsByTheirKeys) {
  const Variant null = Variant::Null();
  struct Case {
    const char* what;
    std::vector<std::vector<Variant>> rows;  // (id, key, second key)
    std::string order;
    std::string ids;
  };
  const std::vector<Case> cases = {
      {"numbers compare as numbers",
       {{"a", 10, 0}, {"b", 2, 0}, {"c", 33, 0}, {"d", 2.5, 0}},
       "k ASC",
       "b,d,a,c"},
      {"texts compare byte by byte",
       {{"a", "b", 0}, {"b", "B", 0}, {"c", "a", 0}, {"d", "10", 0}, {"e", "9", 0}},
       "k ASC",
       "d,e,b,c,a"},
      {"dates compare as dates",
       {{"a", DateOf(45000.5), 0}, {"b", DateOf(3.0), 0}, {"c", DateOf(45000.25), 0}},
       "k ASC",
       "b,c,a"},
      {"descending", {{"a", 1, 0}, {"b", 3, 0}, {"c", 2, 0}}, "k DESC", "b,c,a"},
      {"equal keys keep the order read",
       {{"a", 1, 0}, {"b", 0, 0}, {"c", 1, 0}, {"d", 0, 0}, {"e", 1, 0}},
       "k ASC",
       "b,d,a,c,e"},
      {"equal keys keep the order read when descending",
       {{"a", 1, 0}, {"b", 0, 0}, {"c", 1, 0}, {"d", 0, 0}},
       "k DESC",
       "a,c,b,d"},
      {"two keys", {{"a", 2, 1}, {"b", 1, 2}, {"c", 2, 0}, {"d", 1, 1}}, "k ASC, s ASC",
       "d,b,c,a"},
      {"two keys, the second descending",
       {{"a", 2, 1}, {"b", 1, 2}, {"c", 2, 0}, {"d", 1, 1}},
       "k ASC, s DESC",
       "b,d,a,c"},
      {"Null comes first", {{"a", 5, 0}, {"b", null, 0}, {"c", 1, 0}, {"d", null, 0}}, "k ASC",
       "b,d,c,a"},
      {"Null comes last descending", {{"a", 5, 0}, {"b", null, 0}, {"c", 1, 0}}, "k DESC",
       "a,c,b"},
      {"numbers before texts in a mixed column", {{"a", "x", 0}, {"b", 7, 0}, {"c", 1.5, 0}},
       "k ASC", "c,b,a"},
      {"whole and fractional numbers together",
       {{"a", std::int64_t{3}, 0}, {"b", 2.75, 0}, {"c", std::int16_t{-1}, 0}},
       "k",
       "c,b,a"},
      {"names ignore case, brackets and spacing", {{"a", 2, 0}, {"b", 1, 0}}, "  [K]   asc ",
       "b,a"},
      {"an empty order restores the order read", {{"a", 1, 0}, {"b", 2, 0}}, "", "a,b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto recordset = Make({Info("id"), Info("k"), Info("s")}, c.rows);
    recordset->Sort("k DESC");  // a sort before must not change the outcome
    recordset->Sort(c.order);
    EXPECT_EQ(recordset->Sort(), c.order);
    EXPECT_EQ(recordset->Fields()["id"].Value().ToText(), c.ids.substr(0, 1));  // on row 1
    EXPECT_EQ(Column0(*recordset), c.ids);
  }
}

TEST(RecordsetSort, UnknownFieldRaises3265AndChangesNothing) {
  auto recordset = Make({Info("id"), Info("k")}, {{"a", 2}, {"b", 1}});
  recordset->MoveNext();
  EXPECT_EQ(ErrorNumberOf([&] { recordset->Sort("k ASC, missing DESC"); }),
            errc::kItemNotFound);
  EXPECT_EQ(recordset->Fields()[0].Value().ToText(), "b");  // still on row 2
  EXPECT_EQ(Column0(*recordset), "a,b");
}

TEST(RecordsetGetRows, ReadsFromTheCurrentRowToTheEnd) {
  auto recordset = Make({Info("id"), Info("n")}, {{"a", 1}, {"b", 2}, {"c", 3}});
  recordset->MoveNext();
  const Array2D grid = recordset->GetRows();
  ASSERT_EQ(grid.Columns(), 2u);
  ASSERT_EQ(grid.Rows(), 2u);
  EXPECT_EQ(grid.At(0, 0).ToText(), "b");
  EXPECT_EQ(grid.At(1, 0).ToLong(), 2);
  EXPECT_EQ(grid.At(0, 1).ToText(), "c");
  EXPECT_EQ(grid.At(1, 1).ToLong(), 3);
  EXPECT_EQ(ErrorNumberOf([&] { (void)grid.At(2, 0); }), errc::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumberOf([&] { (void)grid.At(0, 2); }), errc::kSubscriptOutOfRange);
  EXPECT_TRUE(recordset->Eof());
  // At the end there is no current row left to read.
  EXPECT_EQ(ErrorNumberOf([&] { recordset->GetRows(); }), errc::kNoCurrentRecord);
  // The rows stay in the recordset.
  EXPECT_EQ(Column0(*recordset), "a,b,c");
}

TEST(RecordsetGetRows, EmptyRecordsetFailsWith3021) {
  auto recordset = Make({Info("id")}, {});
  recordset->MoveFirst();  // allowed on an empty recordset
  EXPECT_TRUE(recordset->Eof());
  EXPECT_TRUE(recordset->Bof());
  EXPECT_EQ(ErrorNumberOf([&] { recordset->GetRows(); }), errc::kNoCurrentRecord);
}

TEST(RecordsetFabricated, AppendOpenAddNewUpdate) {
  auto recordset = Recordset::Create();
  recordset->Fields().Append("ID", fieldtype::kInteger, 4, fieldattr::kKeyColumn);
  recordset->Fields().Append("Name", fieldtype::kVarWChar, 50, fieldattr::kIsNullable);
  recordset->Fields().Append("When", fieldtype::kDate, 8, 0);
  recordset->Fields().Append("Price", fieldtype::kDouble, 8, 0);
  EXPECT_EQ(ErrorNumberOf([&] { recordset->Fields().Append("name", fieldtype::kInteger); }),
            3367);
  recordset->Open();
  EXPECT_EQ(recordset->RecordCount(), 0);
  EXPECT_TRUE(recordset->Eof());
  EXPECT_EQ(ErrorNumberOf([&] { recordset->Fields().Append("More", fieldtype::kInteger); }),
            errc::kNotAllowedInContext);

  recordset->AddNew();
  recordset->Fields()[0].Value(Variant("42"));  // converted by the field
  recordset->Fields()["name"].Value(Variant("Ann"));
  recordset->Fields()[3].Value(Variant("2.5"));
  recordset->Update();
  recordset->AddNew();
  recordset->Fields()[0].Value(Variant(7));
  EXPECT_EQ(ErrorNumberOf([&] { recordset->Fields()[3].Value(Variant("")); }),
            errc::kTypeMismatch);  // an empty text is no number
  recordset->Update();
  // A failed write leaves the value as it was.
  EXPECT_EQ(ErrorNumberOf([&] { recordset->Fields()[0].Value(Variant("x")); }),
            errc::kTypeMismatch);
  EXPECT_EQ(recordset->Fields()[0].Value().ToLong(), 7);

  EXPECT_EQ(recordset->RecordCount(), 2);
  recordset->MoveFirst();
  const FieldCollection& fields = recordset->Fields();
  EXPECT_EQ(fields[0].Value().Type(), VarType::kLong);
  EXPECT_EQ(fields[0].Value().ToLong(), 42);
  EXPECT_EQ(fields[1].Value().AsString(), "Ann");
  EXPECT_TRUE(fields[2].Value().IsNull());
  EXPECT_DOUBLE_EQ(fields[3].Value().ToDouble(), 2.5);
  EXPECT_EQ(fields[0].Type(), fieldtype::kInteger);
  EXPECT_EQ(fields[1].DefinedSize(), 50);
  EXPECT_EQ(fields[0].Attributes(), fieldattr::kKeyColumn);

  std::string names;
  for (const Field& field : recordset->Fields()) names += field.Name() + ";";
  EXPECT_EQ(names, "ID;Name;When;Price;");

  // Both rows are pending additions for a batch update.
  const auto pending = recordset->PendingChanges();
  ASSERT_EQ(pending.size(), 2u);
  EXPECT_EQ(pending[0].state, Recordset::RowState::kAdded);
  EXPECT_TRUE(pending[1].original->empty());

  // Closing keeps the fields, so the recordset can be opened again empty.
  recordset->Close();
  recordset->Open();
  EXPECT_EQ(recordset->Fields().Count(), 4);
  EXPECT_EQ(recordset->RecordCount(), 0);
}

TEST(RecordsetBatch, FirstWriteKeepsTheOriginalValues) {
  auto recordset = Make({Info("id", fieldtype::kInteger), Info("name")},
                        {{1, "one"}, {2, "two"}});
  recordset->MoveNext();
  recordset->Fields()["NAME"].Value(Variant("zwei"));
  recordset->Fields()["name"].Value(Variant("deux"));
  const auto pending = recordset->PendingChanges();
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].position, 1u);
  EXPECT_EQ(pending[0].state, Recordset::RowState::kModified);
  EXPECT_EQ((*pending[0].original)[1].AsString(), "two");
  EXPECT_EQ((*pending[0].values)[1].AsString(), "deux");
  recordset->AcceptChanges();
  EXPECT_TRUE(recordset->PendingChanges().empty());
}

TEST(RecordsetErrors, MisuseRaisesThePlatformErrors) {
  auto closed = Recordset::Create();
  closed->Fields().Append("a", fieldtype::kInteger);
  auto at_end = Make({Info("a")}, {{"x"}});
  at_end->MoveNext();
  struct Case {
    const char* what;
    std::function<void()> action;
    int number;
  };
  const std::vector<Case> cases = {
      {"count when closed", [&] { (void)closed->RecordCount(); }, errc::kObjectClosed},
      {"MoveFirst when closed", [&] { closed->MoveFirst(); }, errc::kObjectClosed},
      {"MoveNext when closed", [&] { closed->MoveNext(); }, errc::kObjectClosed},
      {"Eof when closed", [&] { (void)closed->Eof(); }, errc::kObjectClosed},
      {"GetRows when closed", [&] { closed->GetRows(); }, errc::kObjectClosed},
      {"Sort when closed", [&] { closed->Sort("a"); }, errc::kObjectClosed},
      {"AddNew when closed", [&] { closed->AddNew(); }, errc::kObjectClosed},
      {"Close when closed", [&] { closed->Close(); }, errc::kObjectClosed},
      {"value when closed", [&] { (void)closed->Fields()[0].Value(); }, errc::kObjectClosed},
      {"MoveNext at the end", [&] { at_end->MoveNext(); }, errc::kNoCurrentRecord},
      {"value at the end", [&] { (void)at_end->Fields()[0].Value(); }, errc::kNoCurrentRecord},
      {"write at the end", [&] { at_end->Fields()[0].Value(Variant("y")); },
       errc::kNoCurrentRecord},
      {"Update at the end", [&] { at_end->Update(); }, errc::kNoCurrentRecord},
      {"unknown name", [&] { (void)at_end->Fields()["b"]; }, errc::kItemNotFound},
      {"position past the end", [&] { (void)at_end->Fields()[1]; }, errc::kItemNotFound},
      {"negative position", [&] { (void)at_end->Fields()[-1]; }, errc::kItemNotFound},
      {"open twice", [&] { at_end->Open(); }, 3705},
      {"a row that does not fit the fields",
       [&] { Recordset::Create()->OpenWith(RecordsetData{{Info("a")}, {{1, 2}}}); },
       errc::kInternalError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ErrorNumberOf(c.action), c.number);
  }
  // A write that failed for want of a row marked nothing as changed.
  EXPECT_TRUE(at_end->PendingChanges().empty());
}

TEST(Recordset, CanBeMadeToAnswerAnUnknownCount) {
  auto recordset = Make({Info("a")}, {{1}, {2}});
  EXPECT_EQ(recordset->RecordCount(), 2);
  recordset->AnswerUnknownRecordCount(true);
  EXPECT_EQ(recordset->RecordCount(), -1);
  EXPECT_EQ(recordset->RowCount(), 2u);
  EXPECT_EQ(Column0(*recordset), "1,2");  // the rows still walk
}

TEST(RecordsetBatch, ChangedAndAddedRowsMixWithTheRowsRead) {
  // Enough rows to fill several of the storage's blocks.
  std::vector<std::vector<Variant>> rows;
  for (int id = 0; id < 3000; ++id) rows.push_back({Variant(id), Variant("n" + std::to_string(id))});
  auto recordset = Make({Info("id", fieldtype::kInteger), Info("name")}, std::move(rows));
  Field& name = recordset->Fields()[1];
  for (int i = 0; i < 1500; ++i) recordset->MoveNext();
  const Variant& read = name.Value();
  EXPECT_EQ(read.AsString(), "n1500");
  name.Value(Variant("changed"));
  EXPECT_EQ(read.AsString(), "n1500");  // a reference shows what was read...
  EXPECT_EQ(name.Value().AsString(), "changed");
  EXPECT_EQ(&name.Value(), &read);  // ...until the field is read again
  recordset->AddNew();
  recordset->Fields()[0].Value(Variant("-1"));
  recordset->Fields()[1].Value(Variant("added"));
  recordset->Update();
  EXPECT_EQ(recordset->RecordCount(), 3001);

  recordset->Sort("id DESC");
  EXPECT_EQ(recordset->Fields()[0].Value().ToLong(), 2999);
  Array2D grid = recordset->GetRows();
  ASSERT_EQ(grid.Rows(), 3001u);
  EXPECT_EQ(grid.At(1, 1499).AsString(), "changed");
  EXPECT_EQ(grid.At(1, 1500).AsString(), "n1499");
  EXPECT_EQ(grid.At(1, 3000).AsString(), "added");
  EXPECT_EQ(grid.At(0, 3000).Type(), VarType::kLong);

  const auto pending = recordset->PendingChanges();
  ASSERT_EQ(pending.size(), 2u);
  EXPECT_EQ(pending[0].position, 1499u);
  EXPECT_EQ(pending[0].state, Recordset::RowState::kModified);
  EXPECT_EQ((*pending[0].original)[1].AsString(), "n1500");
  EXPECT_EQ(pending[1].position, 3000u);
  EXPECT_EQ(pending[1].state, Recordset::RowState::kAdded);

  // The order read comes back with the added row last; a row changed again
  // after the changes were taken keeps its new original.
  recordset->Sort("");
  recordset->AcceptChanges();
  for (int i = 0; i < 1500; ++i) recordset->MoveNext();
  name.Value(Variant("again"));
  const auto again = recordset->PendingChanges();
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ((*again[0].original)[1].AsString(), "changed");
  grid = recordset->GetRows();
  EXPECT_EQ(grid.At(1, 0).AsString(), "again");
  EXPECT_EQ(grid.At(1, 1500).AsString(), "added");
}

}  // namespace
}  // namespace zarel
