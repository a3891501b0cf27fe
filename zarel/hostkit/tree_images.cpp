// The names of the tree's picture files and its colours (see tree_images.h).
#include "zarel/hostkit/tree_images.h"

#include <cstdio>

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

std::string HtmlColour(std::int32_t colour) {
  const auto value = static_cast<std::uint32_t>(colour);
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", value & 0xFFu, (value >> 8) & 0xFFu,
                (value >> 16) & 0xFFu);
  return text;
}

}  // namespace zarel
