// Shape commands: reading them (with the positions of their faults) and the
// hierarchical recordsets they give on both backends.
#include "zarel/db/shape_command.h"

#include <gtest/gtest.h>

#include "zarel/base/error.h"
#include "zarel/db/connection.h"
#include "zarel/testing/databases.h"

namespace zarel {
namespace {

// The rows of a recordset as text: values separated by blanks, rows by
// "; ", and each chapter as Name{its rows}.
std::string Outline(Recordset& recordset) {
  std::string text;
  if (recordset.RecordCount() == 0) return text;
  for (recordset.MoveFirst(); !recordset.Eof(); recordset.MoveNext()) {
    std::string row;
    for (Field& field : recordset.Fields()) {
      if (!row.empty()) row += " ";
      if (field.Type() == fieldtype::kChapter) {
        row += field.Name() + "{" + Outline(*field.Value().AsObjectOf<Recordset>()) + "}";
      } else {
        row += field.Value().TextOrEmpty();
      }
    }
    text += (text.empty() ? "" : "; ") + row;
  }
  return text;
}

std::string ParseError(const std::string& command) {
  try {
    ParseShapeCommand(command);
  } catch (const RuntimeError& error) {
    return error.Description();
  }
  return "no error";
}

TEST(ShapeCommandReading, MalformedCommandsNameThePosition) {
  struct Case {
    const char* command;
    const char* error;
  };
  const Case cases[] = {
      {"SHAPE {SELECT 1", "Shape command error at position 7: '{' without its '}'."},
      {"SHAPE {SELECT '}' FROM t", "Shape command error at position 7: '{' without its '}'."},
      {"SHAPE {  } APPEND ({x} RELATE a TO b)", "Shape command error at position 7: empty command in braces."},
      {"SHAPE {SELECT 1} APPEND", "Shape command error at position 24: expected '('."},
      {"SHAPE {SELECT 1} APPEND ({SELECT 2} RELATE a b)", "Shape command error at position 46: expected TO."},
      {"SHAPE {SELECT 1} APPEND ({SELECT 2} RELATE a TO PARAMETER x)",
       "Shape command error at position 59: expected a parameter number."},
      {"SHAPE {SELECT 1} APPEND ({SELECT 2} RELATE a TO b) extra",
       "Shape command error at position 52: unexpected text after the shape command."},
      {"SHAPE {SELECT 1} COMPUTE x", "Shape command error at position 18: expected APPEND."},
      {"SHAPE {SELECT 1} APPEND ({SELECT 2} AS x RELATE a TO b) AS y",
       "Shape command error at position 60: the child is named twice."},
      {"SHAPE {SELECT 1} APPEND ({SELECT 2} RELATE a TO b", "Shape command error at position 50: expected ')'."},
      {"SHAPE {SELECT 1} APPEND (SELECT 2 RELATE a TO b)",
       "Shape command error at position 26: expected '{', '(' or SHAPE."},
      {"SHAPE {a} APPEND ((SHAPE {b} APPEND ({c} RELATE x TO y) RELATE p TO q)",
       "Shape command error at position 57: expected ')'."},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseError(c.command), c.error) << c.command;

  const ShapeLevel level = ParseShapeCommand(
      "shape {SELECT 1} as p append ((SHAPE {b} APPEND ({c} RELATE x TO y)) RELATE [p q] TO PARAMETER 1, r TO s) "
      "AS Kids, ({d} RELATE \"a\" TO `b`)");
  ASSERT_EQ(level.children.size(), 2u);
  EXPECT_EQ(level.children[0].name, "Kids");
  ASSERT_NE(level.children[0].shape, nullptr);
  EXPECT_EQ(level.children[0].shape->command, "b");
  EXPECT_EQ(level.children[0].relations[0].parent_column, "p q");
  EXPECT_EQ(level.children[0].relations[0].parameter, 1);
  EXPECT_EQ(level.children[0].relations[1].child_column, "s");
  EXPECT_EQ(level.children[1].command, "d");
  EXPECT_EQ(level.children[1].relations[0].child_column, "b");
}

// A shape command of depth SHAPE levels, each with one child, the last
// child a plain command: depth + 1 levels of records.
std::string NestedShape(int depth, const std::string& command) {
  std::string text;
  for (int level = 1; level < depth; ++level) text += "SHAPE {" + command + "} APPEND (";
  text += "SHAPE {" + command + "} APPEND ({" + command + "} RELATE a TO b)";
  for (int level = 1; level < depth; ++level) text += " RELATE a TO b)";
  return text;
}

// A command nested 50,000 deep once overflowed the reader's stack and took
// the whole process down; the nesting is bounded and refused as malformed.
TEST(ShapeCommandReading, NestingIsBounded) {
  EXPECT_EQ(ParseError(NestedShape(kMaxShapeDepth, "s")), "no error");
  const std::size_t level_text = std::string("SHAPE {s} APPEND (").size();
  const std::string too_deep = "Shape command error at position " +
                               std::to_string(kMaxShapeDepth * level_text + 1) +
                               ": shapes are nested deeper than 64 levels.";
  EXPECT_EQ(ParseError(NestedShape(kMaxShapeDepth + 1, "s")), too_deep);
  EXPECT_EQ(ParseError(NestedShape(50000, "s")), too_deep);
  // Parenthesised levels count the same.
  std::string bracketed = "SHAPE {s} APPEND ({s} RELATE a TO b)";
  for (int level = 1; level <= kMaxShapeDepth; ++level) {
    bracketed = "SHAPE {s} APPEND ((" + bracketed + ") RELATE a TO b)";
  }
  EXPECT_NE(ParseError(bracketed).find("nested deeper than 64 levels"), std::string::npos);
}

class ShapeCommandTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    db_ = testing::MakeTestDatabase(GetParam());
    if (db_ == nullptr) GTEST_SKIP() << "no PostgreSQL server (ZAREL_TEST_PG)";
    db_->Exec(
        "CREATE TABLE customers(id INTEGER PRIMARY KEY, name VARCHAR(20));"
        "CREATE TABLE orders(id INTEGER PRIMARY KEY, customer INTEGER, total INTEGER);"
        "CREATE TABLE items(id INTEGER PRIMARY KEY, order_id INTEGER, item VARCHAR(20));"
        "CREATE TABLE calls(n INTEGER);"
        "CREATE TABLE XProc(Name VARCHAR(40), Body TEXT);"
        "INSERT INTO customers VALUES (1, 'Ann'), (2, 'Bob'), (3, 'Cy');"
        "INSERT INTO orders VALUES (10, 1, 5), (11, 1, 7), (12, 2, 9), (13, NULL, 1);"
        "INSERT INTO items VALUES (100, 10, 'Pen'), (101, 10, 'Ink'), (102, 12, 'Pad');"
        "INSERT INTO XProc VALUES ('LoggedOrders', 'INSERT INTO calls VALUES (1); SELECT * FROM orders ORDER BY id');"
        "INSERT INTO XProc VALUES ('OrdersOf',"
        " 'INSERT INTO calls VALUES (2); SELECT * FROM orders WHERE customer = ?1 ORDER BY id');");
    connection_ = Connection::Create();
    connection_->Open(db_->ConnectionString());
  }

  std::shared_ptr<Recordset> Read(const std::string& command) {
    auto recordset = Recordset::Create();
    recordset->ActiveConnection(connection_);
    recordset->Open(command);
    return recordset;
  }

  std::unique_ptr<testing::TestDatabase> db_;
  std::shared_ptr<Connection> connection_;
};

TEST_P(ShapeCommandTest, BuildsChaptersToAnyDepth) {
  struct Case {
    const char* command;
    const char* outline;
  };
  const Case cases[] = {
      {"SHAPE {SELECT id, name FROM customers ORDER BY id} APPEND ((SHAPE {SELECT id, customer FROM orders ORDER BY "
       "id} APPEND ({SELECT order_id, item FROM items ORDER BY id} AS Items RELATE id TO order_id)) AS Orders RELATE "
       "id TO customer)",
       "1 Ann Orders{10 1 Items{10 Pen; 10 Ink}; 11 1 Items{}}; 2 Bob Orders{12 2 Items{12 Pad}}; 3 Cy Orders{}"},
      {"SHAPE {SELECT id FROM customers WHERE id < 3 ORDER BY id} APPEND ({SELECT customer, id FROM orders ORDER BY "
       "id} RELATE id TO customer), ({SELECT customer, total FROM orders ORDER BY id} RELATE id TO customer)",
       "1 Chapter1{1 10; 1 11} Chapter2{1 5; 1 7}; 2 Chapter1{2 12} Chapter2{2 9}"},
      {"SHAPE {SELECT id FROM customers ORDER BY id} APPEND ({SELECT id FROM orders WHERE customer = ? ORDER BY id} "
       "RELATE id TO PARAMETER 0) AS Mine",
       "1 Mine{10; 11}; 2 Mine{12}; 3 Mine{}"},
      {"shape {SELECT id FROM customers WHERE id = 1} append (SHAPE {EXEC LoggedOrders} APPEND ({SELECT order_id, "
       "item FROM items ORDER BY id} RELATE id TO order_id) RELATE id TO customer) AS O",
       "1 O{10 1 5 Chapter1{10 Pen; 10 Ink}; 11 1 7 Chapter1{}}"},
      {"SHAPE {SELECT id FROM customers WHERE id <= 2 ORDER BY id} APPEND ({EXEC OrdersOf ?} RELATE id TO PARAMETER 0)",
       "1 Chapter1{10 1 5; 11 1 7}; 2 Chapter1{12 2 9}"},
      {"SHAPE {SELECT id FROM customers WHERE id > 5} APPEND ({SELECT customer FROM orders} RELATE id TO customer)",
       ""},
  };
  for (const Case& c : cases) {
    auto recordset = Read(c.command);
    EXPECT_EQ(Outline(*recordset), c.outline) << c.command;
  }
  auto recordset = Read(cases[0].command);
  const Field& chapter = recordset->Fields().Item("Orders");
  EXPECT_EQ(chapter.Type(), fieldtype::kChapter);
  EXPECT_EQ(recordset->Fields().Count(), 3);
  EXPECT_EQ(chapter.Value().AsObjectOf<Recordset>()->Fields().Item(2).Name(), "Items");
}

TEST_P(ShapeCommandTest, RunsToTheDepthBoundAndNoFurther) {
  auto recordset = Read(NestedShape(kMaxShapeDepth, "SELECT 1 AS a, 1 AS b"));
  int depth = 1;
  while (recordset->Fields().Count() == 3) {
    recordset = recordset->Fields().Item(2).Value().AsObjectOf<Recordset>();
    ASSERT_EQ(recordset->RecordCount(), 1);
    ++depth;
  }
  EXPECT_EQ(depth, kMaxShapeDepth + 1);
  try {
    Read(NestedShape(kMaxShapeDepth + 1, "SELECT 1 AS a, 1 AS b"));
    ADD_FAILURE() << "a command one level too deep ran";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.Number(), errc::kDatabaseError);
    EXPECT_NE(error.Description().find("nested deeper than 64 levels"), std::string::npos);
  }
}

TEST_P(ShapeCommandTest, RelatedLevelsRunOnceParameterizedOnesPerRecord) {
  Read("SHAPE {SELECT id FROM customers} APPEND ({EXEC LoggedOrders} RELATE id TO customer)");
  EXPECT_EQ(db_->Scalar("SELECT count(*) FROM calls WHERE n = 1"), "1");
  Read("SHAPE {SELECT id FROM customers} APPEND ({EXEC OrdersOf ?} RELATE id TO PARAMETER 0)");
  EXPECT_EQ(db_->Scalar("SELECT count(*) FROM calls WHERE n = 2"), "3");
}

TEST_P(ShapeCommandTest, FaultsOfRunning) {
  const auto error_of = [this](const std::string& command) {
    try {
      Read(command);
    } catch (const RuntimeError& error) {
      return error.Description();
    }
    return std::string("no error");
  };
  EXPECT_EQ(error_of("SHAPE {SELECT id FROM customers} APPEND ({SELECT customer FROM orders} RELATE nope TO customer)"),
            "Shape command: the parent rows have no column 'nope'.");
  EXPECT_EQ(error_of("SHAPE {SELECT id FROM customers} APPEND ({SELECT customer FROM orders} RELATE id TO nope)"),
            "Shape command: the child rows have no column 'nope'.");
  EXPECT_EQ(error_of("SHAPE {SELECT id FROM customers} APPEND ({SELECT 1} RELATE id TO PARAMETER 1)"),
            "Shape command: PARAMETER 0 is related to no column.");
  EXPECT_EQ(error_of("SHAPE {SELECT id FROM customers} APPEND ({EXEC Missing ?} RELATE id TO PARAMETER 0)"),
            "Could not find stored procedure 'Missing'.");
}

INSTANTIATE_TEST_SUITE_P(Backends, ShapeCommandTest, ::testing::Values(Backend::kSQLite, Backend::kPostgreSQL),
                         testing::BackendParamName());

}  // namespace
}  // namespace zarel
