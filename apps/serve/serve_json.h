// The web host's JSON: request bodies read into plain values, and answers
// written straight into text.
//
// Reading: the bodies of POST /api/click, /api/expand, /api/open and
// /api/session are parsed by pure functions that refuse everything but the
// one shape they take (an object with an integer "node", for expanding a
// boolean "expanded", for opening a string "path"; other members are
// ignored), so they can be fed any bytes (the server bounds a
// body at 16 KiB by default). An empty body is an empty object.
//
// Writing: answers are built as text as they are walked, without a document
// tree in between. Texts are written as JSON strings: quotes, backslashes
// and control characters escaped, and bytes that are not UTF-8 (site data
// may hold any bytes) each replaced by U+FFFD, so every answer is valid
// JSON.
//
// Everything here is a pure function: safe from any thread.
#ifndef ZAREL_APPS_SERVE_SERVE_JSON_H_
#define ZAREL_APPS_SERVE_SERVE_JSON_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zarel::serve {

// {"node": ID}
struct ClickBody {
  std::int64_t node = 0;
};
std::optional<ClickBody> ParseClickBody(std::string_view body);

// {"node": ID, "expanded": true|false}
struct ExpandBody {
  std::int64_t node = 0;
  bool expanded = false;
};
std::optional<ExpandBody> ParseExpandBody(std::string_view body);

// {"path": TEXT} (POST /api/open), or {} or {"path": TEXT} (POST
// /api/session): nothing for any other shape, and for a "path" that is not
// a string.
struct PathBody {
  std::optional<std::string> path;
};
std::optional<PathBody> ParsePathBody(std::string_view body);

// Whether the body is a JSON object (or empty): the bodies of the requests
// that take no values.
bool IsObjectBody(std::string_view body);

// Appends text as a quoted JSON string.
void AppendJsonString(std::string& out, std::string_view text);
// The text as a quoted JSON string.
std::string JsonString(std::string_view text);
// {"error": TEXT}
std::string ErrorJson(std::string_view text);

}  // namespace zarel::serve

#endif  // ZAREL_APPS_SERVE_SERVE_JSON_H_
