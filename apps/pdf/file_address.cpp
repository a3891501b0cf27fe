// Writing and reading file: addresses.
#include "apps/pdf/file_address.h"

#include <cctype>

namespace zarel::pdf {
namespace {

std::string PercentDecoded(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() &&
        std::isxdigit(static_cast<unsigned char>(text[i + 1])) && std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

constexpr std::string_view scheme = "file://";

}  // namespace

std::string FileAddress(const std::filesystem::path& absolute) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string address(scheme);
  for (const unsigned char c : absolute.string()) {
    const bool plain = std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      address.push_back(static_cast<char>(c));
    } else {
      address.push_back('%');
      address.push_back(hex[c >> 4]);
      address.push_back(hex[c & 15]);
    }
  }
  return address;
}

std::optional<std::filesystem::path> PathOfAddress(const std::string& address) {
  if (address.rfind(scheme, 0) != 0) return std::nullopt;
  const auto end = address.find_first_of("?#", scheme.size());
  return std::filesystem::path(PercentDecoded(address.substr(scheme.size(), end - scheme.size()))).lexically_normal();
}

std::string FragmentOfAddress(const std::string& address) {
  const auto hash = address.find('#');
  return hash == std::string::npos ? std::string() : PercentDecoded(address.substr(hash + 1));
}

}  // namespace zarel::pdf
