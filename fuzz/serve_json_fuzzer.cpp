// Fuzzes the web host's reading of request bodies and its writing of JSON
// strings.
// Properties: a body is read only when it is a JSON object whose "node" is
// a whole number (and, for expanding, whose "expanded" is true or false);
// every text written as a JSON string, whatever its bytes, is valid JSON,
// and reads back as the very text where the text is UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "apps/serve/serve_json.h"
#include "fuzz/fuzz_support.h"

using namespace zarel;
using nlohmann::json;

namespace {

bool IsUtf8(const std::string& text) {
  try {
    (void)json(text).dump();  // the strict writer refuses bytes that are not UTF-8
    return true;
  } catch (const json::type_error&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const json parsed = json::parse(text, nullptr, false);
  const bool has_node = !parsed.is_discarded() && parsed.is_object() && parsed.contains("node") &&
                        parsed.at("node").is_number_integer();
  if (serve::ParseClickBody(text)) fuzz::Check(has_node, "a click is an object naming its node", text);
  if (const auto expand = serve::ParseExpandBody(text)) {
    fuzz::Check(has_node && parsed.contains("expanded") && parsed.at("expanded").is_boolean() &&
                    expand->expanded == parsed.at("expanded").get<bool>(),
                "an expansion names its node and says whether", text);
  }
  if (serve::IsObjectBody(text)) {
    fuzz::Check(text.empty() || parsed.is_object(), "an object body is an object", text);
  }

  const std::string written = serve::JsonString(text);
  const json back = json::parse(written, nullptr, false);
  fuzz::Check(!back.is_discarded() && back.is_string(), "a JSON string is valid JSON", written);
  if (IsUtf8(text)) fuzz::Check(back.get<std::string>() == text, "a UTF-8 text reads back as itself", written);
  const json error = json::parse(serve::ErrorJson(text), nullptr, false);
  fuzz::Check(!error.is_discarded() && error.is_object(), "an error answer is a JSON object", text);
  return 0;
}
