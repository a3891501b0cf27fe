// The names of the tree's picture files (see tree_images.h).
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

}  // namespace zarel
