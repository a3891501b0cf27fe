// Reading SQL text without parsing it: where its literals, quoted names and
// comments are, so that statements can be split at their semicolons and
// parameter markers found, in SQLite's and PostgreSQL's dialects alike.
#ifndef ZAREL_DB_SQL_TEXT_H_
#define ZAREL_DB_SQL_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "zarel/db/database_driver.h"

namespace zarel {

// The statements of a script, split at semicolons outside literals, quoted
// names and comments, each trimmed; statements holding nothing but blanks
// and comments are left out.
std::vector<std::string_view> SplitStatements(std::string_view script, Backend dialect);

// A parameter marker outside literals, quoted names and comments: "?" alone
// (number 0) or "?N" (number N, from 1).
struct ParameterMarker {
  std::size_t begin = 0;
  std::size_t end = 0;
  int number = 0;
};
std::vector<ParameterMarker> FindMarkers(std::string_view sql, Backend dialect);

// The text with its markers replaced by replace(marker).
template <class Replace>
std::string ReplaceMarkers(std::string_view sql, const std::vector<ParameterMarker>& markers,
                           Replace replace) {
  std::string result;
  result.reserve(sql.size() + 8);
  std::size_t done = 0;
  for (const ParameterMarker& marker : markers) {
    result.append(sql.substr(done, marker.begin - done));
    result += replace(marker);
    done = marker.end;
  }
  result.append(sql.substr(done));
  return result;
}

// Numbers the bare "?" markers of a command in order: "?1", "?2" ...
// Numbered markers are left as they are. count receives the number of bare
// markers found.
std::string NumberBareMarkers(std::string_view sql, Backend dialect, int& count);

}  // namespace zarel

#endif  // ZAREL_DB_SQL_TEXT_H_
