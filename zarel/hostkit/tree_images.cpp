// The names of the tree's picture files and its colours (see tree_images.h).
#include "zarel/hostkit/tree_images.h"

#include "zarel/base/ascii_text.h"

namespace zarel {

namespace {

constexpr std::size_t kLongestName = 64;
constexpr const char* kExtensions[] = {".png", ".gif", ".svg", ".jpg"};

bool IsPlainName(std::string_view text) {
  if (text.empty() || text.size() > kLongestName) return false;
  for (const char c : text) {
    if (!IsAsciiAlphanumeric(c) && c != '_' && c != '-') return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> TreeImageFileNames(std::string_view image) {
  std::vector<std::string> names;
  if (!IsPlainName(image)) return names;
  for (const char* extension : kExtensions) {
    names.push_back("tree" + std::string(image) + extension);
  }
  return names;
}

void AppendHtmlColour(std::string& out, std::int32_t colour) {
  static constexpr char kHex[] = "0123456789abcdef";
  const auto value = static_cast<std::uint32_t>(colour);
  out += '#';
  for (const std::uint32_t part : {value & 0xFFu, (value >> 8) & 0xFFu, (value >> 16) & 0xFFu}) {
    out += kHex[part >> 4];
    out += kHex[part & 0xFu];
  }
}

std::string HtmlColour(std::int32_t colour) {
  std::string text;
  AppendHtmlColour(text, colour);
  return text;
}

}  // namespace zarel
