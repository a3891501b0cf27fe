// Reads shape commands and builds their hierarchical recordsets.
#include "zarel/db/shape_command.h"

#include <unordered_map>
#include <utility>

#include "zarel/base/ascii_text.h"
#include "zarel/base/error.h"
#include "zarel/db/command_runner.h"
#include "zarel/db/database_values.h"
#include "zarel/db/record_table.h"

namespace zarel {

namespace {

class ShapeReader {
 public:
  explicit ShapeReader(std::string_view text) : text_(text) {}

  ShapeLevel ReadCommand() {
    ShapeLevel level = ReadShape();
    SkipBlanks();
    if (!AtEnd()) Fail("unexpected text after the shape command");
    return level;
  }

 private:
  [[noreturn]] void Fail(const std::string& problem) const { FailAt(pos_, problem); }
  [[noreturn]] void FailAt(std::size_t pos, const std::string& problem) const {
    // The position is that of the first character that does not fit.
    while (pos < text_.size() && IsSqlSpace(text_[pos])) ++pos;
    Raise(errc::kDatabaseError, "Shape command error at position " + std::to_string(pos + 1) + ": " + problem + ".");
  }

  bool AtEnd() const { return pos_ >= text_.size(); }
  void SkipBlanks() {
    while (!AtEnd() && IsSqlSpace(text_[pos_])) ++pos_;
  }

  // Whether the keyword comes next (as a whole word); consumes it if so.
  bool Keyword(std::string_view word) {
    SkipBlanks();
    if (text_.size() - pos_ < word.size() || !EqualIgnoringAsciiCase(text_.substr(pos_, word.size()), word)) return false;
    const std::size_t after = pos_ + word.size();
    if (after < text_.size() && IsNameChar(text_[after])) return false;
    pos_ = after;
    return true;
  }

  void Expect(std::string_view word) {
    if (!Keyword(word)) Fail("expected " + std::string(word));
  }

  bool Symbol(char c) {
    SkipBlanks();
    if (AtEnd() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }

  void ExpectSymbol(char c) {
    if (!Symbol(c)) Fail(std::string("expected '") + c + "'");
  }

  // The text between "{" and its "}", skipping quoted texts and nested
  // braces.
  std::string ReadBraced() {
    SkipBlanks();
    const std::size_t open = pos_;
    if (AtEnd() || text_[pos_] != '{') Fail("expected '{'");
    ++pos_;
    int depth = 1;
    while (!AtEnd()) {
      const char c = text_[pos_];
      if (c == '\'' || c == '"') {
        const std::size_t close = text_.find(c, pos_ + 1);
        if (close == std::string_view::npos) break;
        pos_ = close + 1;
        continue;
      }
      ++pos_;
      if (c == '{') ++depth;
      if (c == '}' && --depth == 0) {
        std::string_view inner = text_.substr(open + 1, pos_ - open - 2);
        while (!inner.empty() && IsSqlSpace(inner.front())) inner.remove_prefix(1);
        while (!inner.empty() && IsSqlSpace(inner.back())) inner.remove_suffix(1);
        if (inner.empty()) FailAt(open, "empty command in braces");
        return std::string(inner);
      }
    }
    FailAt(open, "'{' without its '}'");
  }

  // A column or chapter name: a word, or a name in [], "" or ``.
  std::string ReadName(const char* what) {
    SkipBlanks();
    if (AtEnd()) Fail(std::string("expected ") + what);
    const char c = text_[pos_];
    if (c == '[' || c == '"' || c == '`') {
      const char close = c == '[' ? ']' : c;
      const std::size_t end = text_.find(close, pos_ + 1);
      if (end == std::string_view::npos || end == pos_ + 1) Fail(std::string("expected ") + what);
      std::string name(text_.substr(pos_ + 1, end - pos_ - 1));
      pos_ = end + 1;
      return name;
    }
    if (!IsWordStart(c)) Fail(std::string("expected ") + what);
    const std::size_t start = pos_;
    while (!AtEnd() && IsNameChar(text_[pos_])) ++pos_;
    return std::string(text_.substr(start, pos_ - start));
  }

  ShapeLevel ReadShape() {
    // The reader, the run and the renderer each go down one call per level,
    // so a command nested without end would exhaust the stack; the bound is
    // checked before going down.
    SkipBlanks();
    if (depth_ == kMaxShapeDepth) {
      Fail("shapes are nested deeper than " + std::to_string(kMaxShapeDepth) + " levels");
    }
    Expect("SHAPE");
    ++depth_;
    ShapeLevel level = ReadShapeBody();
    --depth_;
    return level;
  }

  ShapeLevel ReadShapeBody() {
    ShapeLevel level;
    level.command = ReadBraced();
    if (Keyword("AS")) ReadName("a name after AS");
    if (Keyword("APPEND")) {
      do {
        level.children.push_back(ReadChild());
      } while (Symbol(','));
    } else {
      SkipBlanks();
      if (!AtEnd() && text_[pos_] != ')') Fail("expected APPEND");
    }
    return level;
  }

  ShapeChild ReadChild() {
    ExpectSymbol('(');
    ShapeChild child;
    SkipBlanks();
    if (!AtEnd() && text_[pos_] == '{') {
      child.command = ReadBraced();
    } else if (Keyword("SHAPE")) {
      pos_ -= 5;
      child.shape = std::make_unique<ShapeLevel>(ReadShape());
    } else if (Symbol('(')) {
      child.shape = std::make_unique<ShapeLevel>(ReadShape());
      ExpectSymbol(')');
    } else {
      Fail("expected '{', '(' or SHAPE");
    }
    if (Keyword("AS")) child.name = ReadName("a name after AS");
    Expect("RELATE");
    do {
      child.relations.push_back(ReadRelation());
    } while (Symbol(','));
    ExpectSymbol(')');
    if (Keyword("AS")) {
      const std::size_t at = pos_;
      std::string name = ReadName("a name after AS");
      if (!child.name.empty()) FailAt(at, "the child is named twice");
      child.name = std::move(name);
    }
    return child;
  }

  ShapeRelation ReadRelation() {
    ShapeRelation relation;
    relation.parent_column = ReadName("a parent column");
    Expect("TO");
    if (Keyword("PARAMETER")) {
      SkipBlanks();
      const std::size_t start = pos_;
      int number = 0;
      while (!AtEnd() && IsAsciiDigit(text_[pos_]) && number < 10000) number = number * 10 + (text_[pos_++] - '0');
      if (pos_ == start) Fail("expected a parameter number");
      relation.parameter = number;
    } else {
      relation.child_column = ReadName("a child column");
    }
    return relation;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int depth_ = 0;  // SHAPE levels open around the reading position
};

// ---------------------------------------------------------------------------
// Running

int FindField(const std::vector<FieldInfo>& fields, const std::string& name) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (EqualIgnoringAsciiCase(fields[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

// The values of the related columns of one row as a text that is equal for
// equal values (1, 1.0 and a Currency 1 alike); nothing when one is Null,
// since Null relates to nothing.
bool RelationKey(const RecordTable& rows, std::size_t row, const std::vector<int>& columns, std::string& key) {
  key.clear();
  for (int column : columns) {
    const CellView value = rows.Cell(row, static_cast<std::size_t>(column));
    std::string part;
    switch (value.type) {
      case VarType::kEmpty:
      case VarType::kNull:
        return false;
      case VarType::kString:
        part = "s";
        part += value.bytes;
        break;
      case VarType::kBytes:
        part = "b";
        part += value.bytes;
        break;
      case VarType::kDate:
        part = "t" + ExactDoubleText(value.real);
        break;
      case VarType::kObject:
        return false;
      case VarType::kBoolean:
        part = value.whole != 0 ? "n-1" : "n0";
        break;
      default: {
        const double number = value.ToVariant().ToDouble();
        const double whole = static_cast<double>(static_cast<long long>(number));
        part = whole == number && number > -9.2e18 && number < 9.2e18
                   ? "n" + std::to_string(static_cast<long long>(number))
                   : "n" + ExactDoubleText(number);
      }
    }
    key += std::to_string(part.size());
    key += ':';
    key += part;
  }
  return true;
}

std::shared_ptr<Recordset> MakeChapter(const std::vector<FieldInfo>& fields, RecordTable rows) {
  auto chapter = Recordset::Create();
  chapter->OpenWithTable(TableData{fields, std::move(rows)});
  return chapter;
}

class ShapeRunner {
 public:
  explicit ShapeRunner(DatabaseDriver& driver) : driver_(driver) {}

  TableData RunLevel(const ShapeLevel& level, const std::vector<Variant>& markers, bool with_sources) {
    TableData parent = RunRows(level.command, markers, with_sources);
    for (std::size_t k = 0; k < level.children.size(); ++k) AppendChapter(parent, level.children[k], k + 1);
    return parent;
  }

 private:
  TableData RunRows(const std::string& command, const std::vector<Variant>& markers, bool with_sources) {
    StatementResult result = RunCommand(driver_, command, markers, with_sources);
    if (!result.has_columns) {
      Raise(errc::kDatabaseError, "Shape command: the command {" + command + "} returns no rows.");
    }
    return std::move(result.data);
  }

  TableData RunChild(const ShapeChild& child, const std::vector<Variant>& markers) {
    if (child.shape != nullptr) return RunLevel(*child.shape, markers, false);
    return RunRows(child.command, markers, false);
  }

  static std::vector<int> ColumnsOf(const std::vector<FieldInfo>& fields, const std::vector<std::string>& names,
                                    const char* side) {
    std::vector<int> columns;
    for (const std::string& name : names) {
      const int column = FindField(fields, name);
      if (column < 0) {
        Raise(errc::kDatabaseError, std::string("Shape command: the ") + side + " rows have no column '" + name + "'.");
      }
      columns.push_back(column);
    }
    return columns;
  }

  void AppendChapter(TableData& parent, const ShapeChild& child, std::size_t number) {
    std::vector<std::string> parent_by_value, child_by_value;
    std::vector<std::string> parent_of_parameter;
    for (const ShapeRelation& relation : child.relations) {
      if (relation.parameter < 0) {
        parent_by_value.push_back(relation.parent_column);
        child_by_value.push_back(relation.child_column);
      } else {
        const auto index = static_cast<std::size_t>(relation.parameter);
        if (parent_of_parameter.size() <= index) parent_of_parameter.resize(index + 1);
        parent_of_parameter[index] = relation.parent_column;
      }
    }
    for (std::size_t i = 0; i < parent_of_parameter.size(); ++i) {
      if (parent_of_parameter[i].empty()) {
        Raise(errc::kDatabaseError, "Shape command: PARAMETER " + std::to_string(i) + " is related to no column.");
      }
    }
    const std::vector<int> parent_values = ColumnsOf(parent.fields, parent_by_value, "parent");
    const std::vector<int> parent_parameters = ColumnsOf(parent.fields, parent_of_parameter, "parent");

    const std::vector<Variant> chapters =
        parent_parameters.empty() ? RelatedByValue(parent, child, parent_values, child_by_value)
                                  : Parameterized(parent, child, parent_values, child_by_value, parent_parameters);
    parent.rows.AddColumn(chapters);
    FieldInfo chapter;
    chapter.name = child.name.empty() ? "Chapter" + std::to_string(number) : child.name;
    chapter.type = fieldtype::kChapter;
    chapter.defined_size = 4;
    parent.fields.push_back(std::move(chapter));
  }

  // The child runs once; its rows are grouped by the related values. One
  // chapter per parent record.
  std::vector<Variant> RelatedByValue(const TableData& parent, const ShapeChild& child,
                                      const std::vector<int>& parent_values,
                                      const std::vector<std::string>& child_by_value) {
    const TableData rows = RunChild(child, {});
    const std::vector<int> child_values = ColumnsOf(rows.fields, child_by_value, "child");
    std::unordered_map<std::string, std::vector<std::size_t>> groups;
    std::string key;
    for (std::size_t r = 0; r < rows.rows.Rows(); ++r) {
      if (RelationKey(rows.rows, r, child_values, key)) groups[key].push_back(r);
    }
    std::vector<Variant> chapters;
    chapters.reserve(parent.rows.Rows());
    const std::vector<std::size_t> none;
    for (std::size_t r = 0; r < parent.rows.Rows(); ++r) {
      const std::vector<std::size_t>* related = &none;
      if (RelationKey(parent.rows, r, parent_values, key)) {
        auto group = groups.find(key);
        if (group != groups.end()) related = &group->second;
      }
      chapters.push_back(Variant(MakeChapter(rows.fields, rows.rows.SelectRows(*related))));
    }
    return chapters;
  }

  // The child runs once per parent record with that record's values bound.
  std::vector<Variant> Parameterized(const TableData& parent, const ShapeChild& child,
                                     const std::vector<int>& parent_values,
                                     const std::vector<std::string>& child_by_value,
                                     const std::vector<int>& parent_parameters) {
    std::string parent_key, child_key;
    std::vector<Variant> chapters;
    chapters.reserve(parent.rows.Rows());
    for (std::size_t r = 0; r < parent.rows.Rows(); ++r) {
      std::vector<Variant> markers;
      markers.reserve(parent_parameters.size());
      for (int column : parent_parameters) markers.push_back(parent.rows.Value(r, static_cast<std::size_t>(column)));
      TableData rows = RunChild(child, markers);
      if (!parent_values.empty()) {
        const std::vector<int> child_values = ColumnsOf(rows.fields, child_by_value, "child");
        std::vector<std::size_t> related;
        if (RelationKey(parent.rows, r, parent_values, parent_key)) {
          for (std::size_t c = 0; c < rows.rows.Rows(); ++c) {
            if (RelationKey(rows.rows, c, child_values, child_key) && child_key == parent_key) {
              related.push_back(c);
            }
          }
        }
        rows.rows = rows.rows.SelectRows(related);
      }
      chapters.push_back(Variant(MakeChapter(rows.fields, std::move(rows.rows))));
    }
    return chapters;
  }

  DatabaseDriver& driver_;
};

}  // namespace

bool IsShapeCommand(std::string_view command) {
  std::size_t pos = 0;
  while (pos < command.size() && IsSqlSpace(command[pos])) ++pos;
  if (command.size() < pos + 6 || !EqualIgnoringAsciiCase(command.substr(pos, 5), "SHAPE")) return false;
  return IsSqlSpace(command[pos + 5]) || command[pos + 5] == '{';
}

ShapeLevel ParseShapeCommand(std::string_view command) { return ShapeReader(command).ReadCommand(); }

TableData RunShapeCommand(DatabaseDriver& driver, std::string_view command,
                          const std::vector<Variant>& marker_values, bool with_sources) {
  const ShapeLevel level = ParseShapeCommand(command);
  return ShapeRunner(driver).RunLevel(level, marker_values, with_sources);
}

}  // namespace zarel
