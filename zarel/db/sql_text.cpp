// Classifies every character of SQL text as code or as part of a literal,
// quoted name or comment; splitting and marker search look at code only.
#include "zarel/db/sql_text.h"

#include "zarel/base/ascii_text.h"

namespace zarel {

namespace {

// One flag per character: true for code.
std::vector<bool> CodeMask(std::string_view sql, Backend dialect) {
  const bool postgres = dialect == Backend::kPostgreSQL;
  std::vector<bool> code(sql.size(), false);
  std::size_t i = 0;
  const std::size_t n = sql.size();
  // Skips a quoted stretch that ends with `close`, a doubled close standing
  // for itself; with backslash escapes when asked.
  const auto skip_quoted = [&](char close, bool backslash) {
    ++i;
    while (i < n) {
      if (backslash && sql[i] == '\\') {
        i += 2;
        continue;
      }
      if (sql[i] == close) {
        if (i + 1 < n && sql[i + 1] == close) {
          i += 2;
          continue;
        }
        ++i;
        return;
      }
      ++i;
    }
  };
  while (i < n) {
    const char c = sql[i];
    const char next = i + 1 < n ? sql[i + 1] : '\0';
    if (c == '\'') {
      skip_quoted('\'', false);
    } else if (postgres && (c == 'E' || c == 'e') && next == '\'' &&
               (i == 0 || !IsWordChar(sql[i - 1]))) {
      ++i;
      skip_quoted('\'', true);
    } else if (c == '"') {
      skip_quoted('"', false);
    } else if (!postgres && c == '`') {
      skip_quoted('`', false);
    } else if (!postgres && c == '[') {
      const std::size_t close = sql.find(']', i + 1);
      i = close == std::string_view::npos ? n : close + 1;
    } else if (c == '-' && next == '-') {
      const std::size_t end = sql.find('\n', i);
      i = end == std::string_view::npos ? n : end + 1;
    } else if (c == '/' && next == '*') {
      int depth = 1;
      i += 2;
      while (i < n && depth > 0) {
        if (postgres && sql[i] == '/' && i + 1 < n && sql[i + 1] == '*') {
          ++depth;
          i += 2;
        } else if (sql[i] == '*' && i + 1 < n && sql[i + 1] == '/') {
          --depth;
          i += 2;
        } else {
          ++i;
        }
      }
    } else if (postgres && c == '$' && (i == 0 || !IsWordChar(sql[i - 1])) &&
               (next == '$' || IsWordStart(next))) {
      // A dollar-quoted string: $tag$ ... $tag$.
      std::size_t tag_end = i + 1;
      while (tag_end < n && IsWordChar(sql[tag_end])) ++tag_end;
      if (tag_end < n && sql[tag_end] == '$') {
        const std::string_view tag = sql.substr(i, tag_end - i + 1);
        const std::size_t close = sql.find(tag, tag_end + 1);
        i = close == std::string_view::npos ? n : close + tag.size();
      } else {
        code[i++] = true;
      }
    } else {
      code[i++] = true;
    }
  }
  return code;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSqlSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSqlSpace(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::vector<std::string_view> SplitStatements(std::string_view script, Backend dialect) {
  const std::vector<bool> code = CodeMask(script, dialect);
  std::vector<std::string_view> statements;
  std::size_t start = 0;
  bool has_code = false;
  for (std::size_t i = 0; i <= script.size(); ++i) {
    if (i == script.size() || (code[i] && script[i] == ';')) {
      if (has_code) statements.push_back(Trim(script.substr(start, i - start)));
      start = i + 1;
      has_code = false;
    } else if (code[i] && !IsSqlSpace(script[i])) {
      has_code = true;
    } else if (!code[i] && (script[i] == '\'' || script[i] == '"' || script[i] == '$' ||
                            script[i] == '`' || script[i] == '[')) {
      // A literal or quoted name is content; a comment alone is not.
      has_code = true;
    }
  }
  return statements;
}

std::vector<ParameterMarker> FindMarkers(std::string_view sql, Backend dialect) {
  const std::vector<bool> code = CodeMask(sql, dialect);
  std::vector<ParameterMarker> markers;
  for (std::size_t i = 0; i < sql.size(); ++i) {
    if (!code[i] || sql[i] != '?') continue;
    ParameterMarker marker;
    marker.begin = i;
    std::size_t end = i + 1;
    int number = 0;
    while (end < sql.size() && IsAsciiDigit(sql[end]) && number < 100000) {
      number = number * 10 + (sql[end] - '0');
      ++end;
    }
    marker.end = end;
    marker.number = number;
    markers.push_back(marker);
    i = end - 1;
  }
  return markers;
}

std::string NumberBareMarkers(std::string_view sql, Backend dialect, int& count) {
  std::vector<ParameterMarker> bare;
  for (const ParameterMarker& marker : FindMarkers(sql, dialect)) {
    if (marker.number == 0) bare.push_back(marker);
  }
  count = 0;
  return ReplaceMarkers(sql, bare, [&count](const ParameterMarker&) {
    return "?" + std::to_string(++count);
  });
}

}  // namespace zarel
