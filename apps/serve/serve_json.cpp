// The web host's JSON reading and writing (see serve_json.h).
#include "apps/serve/serve_json.h"

#include <limits>

#include <nlohmann/json.hpp>

namespace zarel::serve {

namespace {

using nlohmann::json;

// The body as a JSON object; an empty body is {}. nlohmann's parser is not
// recursive, so deeply nested input costs memory in the size of the body
// (bounded by the server), never the stack.
std::optional<json> ObjectOf(std::string_view body) {
  if (body.empty()) return json::object();
  // JSON text holds no NUL byte; the parser would take one for the end.
  if (body.find('\0') != std::string_view::npos) return std::nullopt;
  json value = json::parse(body, nullptr, false);
  if (value.is_discarded() || !value.is_object()) return std::nullopt;
  return value;
}

std::optional<std::int64_t> NodeOf(const json& object) {
  const auto node = object.find("node");
  if (node == object.end() || !node->is_number_integer()) return std::nullopt;
  // An unsigned number beyond the signed range is no node id.
  if (node->is_number_unsigned() && node->get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
    return std::nullopt;
  }
  return node->get<std::int64_t>();
}

// The length of the UTF-8 sequence at text[at] when it is well formed (no
// overlong forms, no surrogates, nothing beyond U+10FFFF), or 0.
std::size_t Utf8Length(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(at);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (first >= 0xC2 && first <= 0xDF) {
    length = 2;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 3;
    if (first == 0xE0) low = 0xA0;   // overlong
    if (first == 0xED) high = 0x9F;  // surrogates
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 4;
    if (first == 0xF0) low = 0x90;   // overlong
    if (first == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

std::optional<ClickBody> ParseClickBody(std::string_view body) {
  const std::optional<json> object = ObjectOf(body);
  if (!object) return std::nullopt;
  const std::optional<std::int64_t> node = NodeOf(*object);
  if (!node) return std::nullopt;
  return ClickBody{*node};
}

std::optional<ExpandBody> ParseExpandBody(std::string_view body) {
  const std::optional<json> object = ObjectOf(body);
  if (!object) return std::nullopt;
  const std::optional<std::int64_t> node = NodeOf(*object);
  const auto expanded = object->find("expanded");
  if (!node || expanded == object->end() || !expanded->is_boolean()) return std::nullopt;
  return ExpandBody{*node, expanded->get<bool>()};
}

std::optional<PathBody> ParsePathBody(std::string_view body) {
  const std::optional<json> object = ObjectOf(body);
  if (!object) return std::nullopt;
  const auto path = object->find("path");
  if (path == object->end()) return PathBody{};
  if (!path->is_string()) return std::nullopt;
  return PathBody{path->get<std::string>()};
}

bool IsObjectBody(std::string_view body) { return ObjectOf(body).has_value(); }

void AppendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.reserve(out.size() + text.size() + 2);
  out += '"';
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t length = Utf8Length(text, i);
      if (length == 0) {
        out += "\xEF\xBF\xBD";  // U+FFFD for a byte that is not UTF-8
        ++i;
      } else {
        out.append(text.substr(i, length));
        i += length;
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0x0F];
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  out += '"';
}

std::string JsonString(std::string_view text) {
  std::string out;
  AppendJsonString(out, text);
  return out;
}

std::string ErrorJson(std::string_view text) {
  std::string out = "{\"error\":";
  AppendJsonString(out, text);
  out += '}';
  return out;
}

}  // namespace zarel::serve
