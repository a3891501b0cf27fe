// Tests of the web host's JSON: the request bodies read (any bytes may
// arrive), texts written as JSON strings and node colours.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "apps/serve/serve_json.h"
#include "apps/serve/serve_tree_json.h"

namespace zarel::serve {
namespace {

// Colours are blue-green-red numbers; the page wants "#rrggbb".
TEST(ServeJsonTest, NodeColoursAreRedGreenBlueHex) {
  const std::pair<std::int32_t, const char*> cases[] = {
      {0, "#000000"},         {0x0000FF, "#ff0000"}, {0x00FF00, "#00ff00"},
      {0xFF0000, "#0000ff"},  {0x123456, "#563412"}, {0x0A0B0C, "#0c0b0a"},
      {-1, "#ffffff"},        {0x7F000080, "#800000"},
  };
  for (const auto& [colour, text] : cases) {
    EXPECT_EQ(HtmlColour(colour), text) << colour;
    std::string out = "x";
    AppendHtmlColour(out, colour);
    EXPECT_EQ(out, std::string("x") + text);
  }
}

TEST(ServeJsonTest, AClickBodyNamesOneIntegerNode) {
  struct Case {
    std::string body;
    std::optional<std::int64_t> node;
  };
  const std::vector<Case> cases = {
      {R"({"node": 5})", 5},
      {R"({"node":-1})", -1},
      {R"({"node": 7, "other": [1, {"x": null}]})", 7},
      {R"(  {"node": 9223372036854775807}  )", 9223372036854775807},
      {R"({"node": 9223372036854775808})", std::nullopt},  // beyond the id range
      {R"({"node": "5"})", std::nullopt},
      {R"({"node": 5.0})", std::nullopt},
      {R"({"node": 5.5})", std::nullopt},
      {R"({"node": true})", std::nullopt},
      {R"({"node": null})", std::nullopt},
      {R"({})", std::nullopt},
      {"", std::nullopt},  // an empty body is {}: no node
      {R"([5])", std::nullopt},
      {R"(5)", std::nullopt},
      {R"({"node": 5} trailing)", std::nullopt},
      {R"({"node": 5)", std::nullopt},
      {std::string("{\"node\": 5}\0", 12), std::nullopt},
      {"{\"node\": 5, \"text\": \"\xFF\"}", std::nullopt},  // not UTF-8
      {"\xEF\xBB\xBF{\"node\": 3}", 3},                    // a byte order mark
  };
  for (const Case& c : cases) {
    const std::optional<ClickBody> body = ParseClickBody(c.body);
    ASSERT_EQ(body.has_value(), c.node.has_value()) << c.body;
    if (body) {
      EXPECT_EQ(body->node, *c.node) << c.body;
    }
  }
}

TEST(ServeJsonTest, AnExpandBodyNamesItsNodeAndABoolean) {
  struct Case {
    std::string body;
    bool valid;
    bool expanded;
  };
  const std::vector<Case> cases = {
      {R"({"node": 2, "expanded": true})", true, true},
      {R"({"expanded": false, "node": 2})", true, false},
      {R"({"node": 2})", false, false},
      {R"({"node": 2, "expanded": 1})", false, false},
      {R"({"node": 2, "expanded": "true"})", false, false},
      {R"({"node": "2", "expanded": true})", false, false},
      {"", false, false},
  };
  for (const Case& c : cases) {
    const std::optional<ExpandBody> body = ParseExpandBody(c.body);
    ASSERT_EQ(body.has_value(), c.valid) << c.body;
    if (body) {
      EXPECT_EQ(body->node, 2) << c.body;
      EXPECT_EQ(body->expanded, c.expanded) << c.body;
    }
  }
}

TEST(ServeJsonTest, DeepNestingAndLargeBodiesCostNoStack) {
  // Far deeper than any stack would take recursively.
  const std::string deep = std::string(200000, '[') + std::string(200000, ']');
  EXPECT_FALSE(ParseClickBody(deep));
  const std::optional<ClickBody> beside = ParseClickBody("{\"node\": 1, \"x\": " + deep + "}");
  ASSERT_TRUE(beside);
  EXPECT_EQ(beside->node, 1);
  EXPECT_FALSE(IsObjectBody(std::string(200000, '{')));
  EXPECT_TRUE(IsObjectBody(""));
  EXPECT_TRUE(IsObjectBody("{}"));
  EXPECT_FALSE(IsObjectBody("[]"));
}

TEST(ServeJsonTest, TextsBecomeValidJsonStrings) {
  struct Case {
    std::string text;
    std::string json;
  };
  const std::vector<Case> cases = {
      {"plain", R"("plain")"},
      {"", R"("")"},
      {"a\"b\\c", R"("a\"b\\c")"},
      {"line\r\nnext\ttab", R"("line\r\nnext\ttab")"},
      {std::string("nul\0bell\a\x1F", 10), R"("nul\u0000bell\u0007\u001f")"},
      {"\b\f", R"("\b\f")"},
      {"</script>", R"("</script>")"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\""},
      // Bytes that are not UTF-8, each replaced by U+FFFD.
      {"Ca\xFE", "\"Ca\xEF\xBF\xBD\""},
      {"\xC0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},              // overlong
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // a surrogate
      {"\xF4\x90\x80\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // beyond U+10FFFF
      {"\xE2\x82", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},              // cut short
      {"\x80x", "\"\xEF\xBF\xBDx\""},
  };
  for (const Case& c : cases) {
    const std::string written = JsonString(c.text);
    EXPECT_EQ(written, c.json) << c.text;
    EXPECT_FALSE(nlohmann::json::parse(written, nullptr, false).is_discarded()) << c.text;
  }
  EXPECT_EQ(ErrorJson("No \"such\" node"), R"({"error":"No \"such\" node"})");
}

}  // namespace
}  // namespace zarel::serve
