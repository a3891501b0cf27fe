// The files a page uses (see page_files.h).
#include "apps/export/page_files.h"

#include <algorithm>
#include <set>

#include "zarel/base/ascii_text.h"

namespace zarel::site_export {

namespace {

// The attributes whose values name files, and the style rule's url( ).
constexpr std::string_view kNamingAttributes[] = {"src", "href", "background"};

bool IsNameChar(char c) { return IsAsciiAlphanumeric(c) || c == '-' || c == '_' || c == ':'; }

// The value that starts at `at` (after "=" or "url("): quoted by " or ', or
// bare up to a blank, ">" (or ")" in a style rule).
std::string_view ValueAt(std::string_view html, std::size_t at, bool in_url) {
  while (at < html.size() && (html[at] == ' ' || html[at] == '\t' || html[at] == '\n' || html[at] == '\r')) ++at;
  if (at >= html.size()) return {};
  if (html[at] == '"' || html[at] == '\'') {
    const std::size_t end = html.find(html[at], at + 1);
    return end == std::string_view::npos ? std::string_view() : html.substr(at + 1, end - at - 1);
  }
  std::size_t end = at;
  while (end < html.size() && html[end] != ' ' && html[end] != '\t' && html[end] != '\n' &&
         html[end] != '\r' && html[end] != '>' && !(in_url && html[end] == ')')) {
    ++end;
  }
  return html.substr(at, end - at);
}

// Every value that names a file, in order: a scan, not a parse.
template <typename Each>
void ForEachNamedValue(std::string_view html, const Each& each) {
  const std::string lower = LowerAscii(html);
  for (std::size_t i = 0; i < lower.size(); ++i) {
    // A script's text is code, not attributes (expander.src = open ? ...).
    if (lower.compare(i, 7, "<script") == 0) {
      const std::size_t open_end = lower.find('>', i);
      const std::size_t end = open_end == std::string::npos ? open_end : lower.find("</script", open_end);
      if (open_end != std::string::npos) {
        // The opening tag's own src= still names a file.
        const std::string_view tag = std::string_view(html).substr(i, open_end - i);
        ForEachNamedValue(tag.substr(7), each);
      }
      if (end == std::string::npos) return;
      i = end;
      continue;
    }
    if (i > 0 && IsNameChar(lower[i - 1])) continue;
    if (lower.compare(i, 4, "url(") == 0) {
      each(ValueAt(html, i + 4, true));
      continue;
    }
    for (const std::string_view attribute : kNamingAttributes) {
      if (lower.compare(i, attribute.size(), attribute) != 0) continue;
      std::size_t at = i + attribute.size();
      while (at < lower.size() && (lower[at] == ' ' || lower[at] == '\t')) ++at;
      if (at < lower.size() && lower[at] == '=') each(ValueAt(html, at + 1, false));
      break;
    }
  }
}

// Every short quoted text without blanks: the names a page's script sets
// (expander.src = open ? 'minus.gif' : 'plus.gif').
template <typename Each>
void ForEachQuotedWord(std::string_view html, const Each& each) {
  constexpr std::size_t kLongestName = 255;
  for (std::size_t i = 0; i < html.size(); ++i) {
    if (html[i] != '\'' && html[i] != '"') continue;
    std::size_t end = i + 1;
    while (end < html.size() && end - i <= kLongestName && html[end] != html[i] &&
           html[end] != ' ' && html[end] != '\n' && html[end] != '<' && html[end] != '>') {
      ++end;
    }
    if (end < html.size() && html[end] == html[i] && end > i + 1) {
      each(html.substr(i + 1, end - i - 1));
      i = end;
    }
  }
}

std::string PercentDecoded(std::string_view text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && IsAsciiHexDigit(text[i + 1]) &&
        IsAsciiHexDigit(text[i + 2])) {
      decoded += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

// The file name an address gives, or none when it is not a relative name
// inside the folder.
std::optional<std::string> RelativeName(std::string_view address) {
  const std::string trimmed = TrimBlanks(address);
  std::string_view value = trimmed;
  const std::size_t end = value.find_first_of("?#");
  if (end != std::string_view::npos) value = value.substr(0, end);
  if (value.empty() || value.front() == '/' || value.front() == '\\') return std::nullopt;
  // A scheme: letters, digits, "+", "-", "." before the first ":".
  const std::size_t colon = value.find(':');
  if (colon != std::string_view::npos) return std::nullopt;
  const std::string decoded = PercentDecoded(value);
  if (decoded.find('\0') != std::string::npos || decoded.find('\\') != std::string::npos) {
    return std::nullopt;
  }
  const std::filesystem::path normal = std::filesystem::path(decoded).lexically_normal();
  if (normal.empty() || normal.is_absolute()) return std::nullopt;
  for (const auto& part : normal) {
    if (part == "..") return std::nullopt;
  }
  const std::string name = normal.generic_string();
  if (name.empty() || name == "." || name.back() == '/') return std::nullopt;
  return name;
}

}  // namespace

PageReferences RelativeReferences(std::string_view html) {
  PageReferences references;
  std::set<std::string> seen;
  ForEachNamedValue(html, [&](std::string_view value) {
    if (auto name = RelativeName(value); name && seen.insert(*name).second) {
      references.named.push_back(std::move(*name));
    }
  });
  ForEachQuotedWord(html, [&](std::string_view value) {
    // Only words that read as a file name with an extension.
    const std::size_t dot = value.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == value.size()) return;
    if (auto name = RelativeName(value); name && seen.insert(*name).second) {
      references.quoted.push_back(std::move(*name));
    }
  });
  return references;
}

std::optional<std::filesystem::path> FindInside(const std::vector<std::filesystem::path>& folders,
                                                const std::string& name) {
  for (const std::filesystem::path& folder : folders) {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::canonical(folder, error);
    if (error) continue;
    const std::filesystem::path file = std::filesystem::canonical(base / name, error);
    if (error || !std::filesystem::is_regular_file(file, error)) continue;
    // The real path must still lie beneath the folder (a link may point out).
    const auto [folder_end, file_at] = std::mismatch(base.begin(), base.end(), file.begin(), file.end());
    if (folder_end == base.end() && file_at != file.end()) return file;
  }
  return std::nullopt;
}

}  // namespace zarel::site_export
