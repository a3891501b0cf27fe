// Page names and HTML escaping of the export (see page_names.h).
#include "apps/export/page_names.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "zarel/base/ascii_text.h"

namespace zarel::site_export {

namespace {

// The plain letters of U+00C0 to U+00FF (Latin-1 letters with accents); "-"
// where there is none (the multiplication and division signs).
constexpr std::string_view kLatin1Letters[] = {
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",
    "d", "n", "o", "o", "o", "o", "o",  "-", "o", "u", "u", "u", "u", "y", "th", "ss",
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",
    "d", "n", "o", "o", "o", "o", "o",  "-", "o", "u", "u", "u", "u", "y", "th", "y"};

// One level's text as a slug: letters and digits kept (lower case), every
// other run of characters one "-", none at either end.
std::string LevelSlug(std::string_view text) {
  std::string slug;
  const auto add = [&slug](std::string_view piece) {
    if (piece == "-") {
      if (!slug.empty() && slug.back() != '-') slug += '-';
    } else {
      slug += piece;
    }
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (IsAsciiAlphanumeric(c)) {
      slug += LowerAsciiChar(c);
      continue;
    }
    const auto lead = static_cast<unsigned char>(c);
    // A two-byte UTF-8 sequence C3 80..C3 BF is U+00C0..U+00FF.
    if (lead == 0xC3 && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0xBF) {
        add(kLatin1Letters[next - 0x80]);
        ++i;
        continue;
      }
    }
    // Any other character (a UTF-8 sequence is skipped whole).
    if (IsNonAscii(c)) {
      while (i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) ++i;
    }
    add("-");
  }
  if (!slug.empty() && slug.back() == '-') slug.pop_back();
  if (!slug.empty() && slug.front() == '-') slug.erase(0, 1);
  return slug;
}

// 64-bit FNV-1a: a short, stable mark of a long path.
std::uint64_t PathHash(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

std::string PathSlug(std::string_view path) {
  std::vector<std::string_view> levels;
  std::size_t start = 0;
  while (true) {
    const std::size_t separator = path.find('\\', start);
    levels.push_back(path.substr(start, separator == std::string_view::npos ? std::string_view::npos
                                                                              : separator - start));
    if (separator == std::string_view::npos) break;
    start = separator + 1;
  }
  // The root's text is the same in every path: only the root keeps it.
  const std::size_t first = levels.size() > 1 ? 1 : 0;
  std::string slug;
  for (std::size_t i = first; i < levels.size(); ++i) {
    std::string level = LevelSlug(levels[i]);
    if (level.empty()) level = "node";
    if (i > first) slug += '.';
    slug += level;
  }
  if (slug.size() > kMaxSlugLength) {
    char mark[20];
    std::snprintf(mark, sizeof mark, "-%016llx",
                  static_cast<unsigned long long>(PathHash(path)));
    slug.resize(kMaxSlugLength - std::string_view(mark).size());
    slug += mark;
  }
  return slug;
}

std::string PageNames::NameFor(std::string_view path) {
  const std::string slug = PathSlug(path);
  std::string name = slug;
  for (int n = 2; !taken_.insert(name).second; ++n) name = slug + "-" + std::to_string(n);
  return name + ".html";
}

std::string HtmlEscape(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&#39;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

}  // namespace zarel::site_export
