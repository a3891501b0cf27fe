// Reading SQL text in both dialects: where statements end and which "?" are
// parameter markers, with literals, quoted names and comments of each
// dialect; and the blanks that the texts wrapping SQL (EXEC calls, shape
// commands) share with it.
#include "zarel/db/sql_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zarel/db/procedure_call.h"
#include "zarel/db/shape_command.h"

namespace zarel {
namespace {

enum class Dialects { kBoth, kSQLite, kPostgreSQL };

std::vector<Backend> BackendsOf(Dialects dialects) {
  switch (dialects) {
    case Dialects::kSQLite:
      return {Backend::kSQLite};
    case Dialects::kPostgreSQL:
      return {Backend::kPostgreSQL};
    case Dialects::kBoth:
      break;
  }
  return {Backend::kSQLite, Backend::kPostgreSQL};
}

std::string Joined(const std::vector<std::string_view>& parts) {
  std::string joined;
  for (std::size_t i = 0; i < parts.size(); ++i) joined += (i ? "|" : "") + std::string(parts[i]);
  return joined;
}

TEST(SqlTextTest, StatementsEndAtSemicolonsInCodeOnly) {
  struct Case {
    Dialects dialects;
    std::string script;
    std::string statements;  // joined with "|"
  };
  const std::vector<Case> cases = {
      {Dialects::kBoth, "SELECT 1; SELECT 2", "SELECT 1|SELECT 2"},
      {Dialects::kBoth, "SELECT ';'; SELECT 2", "SELECT ';'|SELECT 2"},
      {Dialects::kBoth, "SELECT 'it''s; fine'", "SELECT 'it''s; fine'"},
      {Dialects::kBoth, "SELECT \"a;b\" FROM t; X", "SELECT \"a;b\" FROM t|X"},
      {Dialects::kBoth, "SELECT 1 -- no; split\n; SELECT 2", "SELECT 1 -- no; split|SELECT 2"},
      {Dialects::kBoth, "SELECT 1 /* ; */; SELECT 2", "SELECT 1 /* ; */|SELECT 2"},
      // Statements of blanks (form feed and vertical tab too) or comments
      // alone are left out; a literal alone is a statement.
      {Dialects::kBoth, " ;\f\v\r\n; -- only a comment\n; /* c */ ;", ""},
      {Dialects::kBoth, "\f SELECT 1 \v;\t''", "SELECT 1|''"},
      // An unterminated literal or comment runs to the end.
      {Dialects::kBoth, "SELECT 'open; x", "SELECT 'open; x"},
      {Dialects::kBoth, "SELECT 1 /* open; x", "SELECT 1 /* open; x"},
      // Backticks and brackets quote names in SQLite only.
      {Dialects::kSQLite, "SELECT `a;b`; SELECT [c;d]", "SELECT `a;b`|SELECT [c;d]"},
      {Dialects::kPostgreSQL, "SELECT `a;b`", "SELECT `a|b`"},
      // E'' strings take backslash escapes in PostgreSQL only.
      {Dialects::kPostgreSQL, "SELECT E'a\\';b'; SELECT 2", "SELECT E'a\\';b'|SELECT 2"},
      {Dialects::kSQLite, "SELECT E'a\\';b'; SELECT 2", "SELECT E'a\\'|b'; SELECT 2"},
      {Dialects::kPostgreSQL, "SELECT xE'a\\';b'", "SELECT xE'a\\'|b'"},
      // Block comments nest in PostgreSQL only.
      {Dialects::kPostgreSQL, "SELECT /* a /* b; */ c; */ 1; SELECT 2",
       "SELECT /* a /* b; */ c; */ 1|SELECT 2"},
      {Dialects::kSQLite, "SELECT /* a /* b; */ c; */ 1; SELECT 2", "SELECT /* a /* b; */ c|*/ 1|SELECT 2"},
      // Dollar quotes, with or without a tag, in PostgreSQL only; "$" inside
      // a word or before a digit quotes nothing.
      {Dialects::kPostgreSQL, "SELECT $$a;b$$; SELECT $t$c;$$;d$t$", "SELECT $$a;b$$|SELECT $t$c;$$;d$t$"},
      {Dialects::kPostgreSQL, "SELECT a$b; SELECT $1; SELECT 2", "SELECT a$b|SELECT $1|SELECT 2"},
      {Dialects::kSQLite, "SELECT $$a;b$$", "SELECT $$a|b$$"},
  };
  for (const Case& c : cases) {
    for (const Backend backend : BackendsOf(c.dialects)) {
      EXPECT_EQ(Joined(SplitStatements(c.script, backend)), c.statements)
          << c.script << (backend == Backend::kSQLite ? " (SQLite)" : " (PostgreSQL)");
    }
  }
}

TEST(SqlTextTest, MarkersOutsideLiteralsNamesAndComments) {
  struct Case {
    Dialects dialects;
    std::string sql;
    std::string markers;  // each marker's text and number, joined with "|"
  };
  const std::vector<Case> cases = {
      {Dialects::kBoth, "SELECT ?, ?2 FROM t WHERE a = '?' AND b = \"?\" -- ?\n", "?=0|?2=2"},
      {Dialects::kBoth, "SELECT /* ? */ ?12, ?", "?12=12|?=0"},
      {Dialects::kSQLite, "SELECT [?], `?`, ?1", "?1=1"},
      {Dialects::kPostgreSQL, "SELECT $$?$$, E'\\'?', $q$?$q$, ?3", "?3=3"},
      {Dialects::kBoth, "SELECT 'no markers'", ""},
  };
  for (const Case& c : cases) {
    for (const Backend backend : BackendsOf(c.dialects)) {
      std::string found;
      for (const ParameterMarker& marker : FindMarkers(c.sql, backend)) {
        if (!found.empty()) found += "|";
        found += c.sql.substr(marker.begin, marker.end - marker.begin) + "=" + std::to_string(marker.number);
      }
      EXPECT_EQ(found, c.markers) << c.sql;
    }
  }
  int count = -1;
  EXPECT_EQ(NumberBareMarkers("SELECT ?, '?', ?, ?7", Backend::kSQLite, count), "SELECT ?1, '?', ?2, ?7");
  EXPECT_EQ(count, 2);
}

// EXEC calls and shape commands count the same blanks as SQL, form feed and
// vertical tab included.
TEST(SqlTextTest, CommandsWrappingSqlShareItsBlanks) {
  EXPECT_TRUE(IsProcedureCall("\f EXEC\vOrders"));
  EXPECT_TRUE(IsProcedureCall("exec\tOrders"));
  EXPECT_FALSE(IsProcedureCall("EXECOrders"));
  EXPECT_FALSE(IsProcedureCall("EXEC"));
  const ProcedureCall call = ParseProcedureCall("EXEC\fdbo.Orders_2\v12,\r\n'O''Brien', null ,Word#1");
  EXPECT_EQ(call.name, "dbo.Orders_2");
  ASSERT_EQ(call.arguments.size(), 4u);
  EXPECT_EQ(call.arguments[0].ToText(), "12");
  EXPECT_EQ(call.arguments[1].ToText(), "O'Brien");
  EXPECT_TRUE(call.arguments[2].IsNull());
  EXPECT_EQ(call.arguments[3].ToText(), "Word#1");
  EXPECT_TRUE(IsShapeCommand("\vSHAPE\f{SELECT 1} AS a"));
  EXPECT_TRUE(IsShapeCommand("shape{SELECT 1} AS a"));
  EXPECT_FALSE(IsShapeCommand("SHAPED {SELECT 1}"));
}

}  // namespace
}  // namespace zarel
