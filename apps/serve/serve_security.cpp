// The web host's security checks (see serve_security.h).
#include "apps/serve/serve_security.h"

#include <arpa/inet.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "zarel/base/ascii_text.h"
#include "zarel/base/error.h"

namespace zarel::serve {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kIdBytes = 32;

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Whether candidate lies strictly inside folder (both canonical).
bool Inside(const fs::path& folder, const fs::path& candidate) {
  const std::string base = folder.string() + "/";
  return StartsWith(candidate.string(), base) && candidate.string().size() > base.size();
}

}  // namespace

std::string NewSessionId() {
  std::array<unsigned char, kIdBytes> bytes{};
  std::ifstream random("/dev/urandom", std::ios::binary);
  if (!random.read(reinterpret_cast<char*>(bytes.data()), bytes.size())) {
    Raise(errc::kPathFileAccessError, "cannot read /dev/urandom for a session id");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id;
  id.reserve(kIdBytes * 2);
  for (unsigned char byte : bytes) {
    id += kHex[byte >> 4];
    id += kHex[byte & 0x0F];
  }
  return id;
}

bool LooksLikeSessionId(const std::string& text) {
  return text.size() == kIdBytes * 2 && std::all_of(text.begin(), text.end(), [](char c) {
           return IsAsciiDigit(c) || (c >= 'a' && c <= 'f');  // written in lower case
         });
}

bool IsLoopbackAddress(const std::string& address) {
  const std::string name = LowerAscii(address);
  if (name == "localhost" || name == "::1" || name == "[::1]") return true;
  in_addr v4{};
  if (::inet_pton(AF_INET, name.c_str(), &v4) == 1) {
    return (ntohl(v4.s_addr) >> 24) == 127;
  }
  return false;
}

std::string HostNameOf(const std::string& host_header) {
  std::string host = LowerAscii(host_header);
  if (StartsWith(host, "[")) {
    const std::size_t close = host.find(']');
    return close == std::string::npos ? host : host.substr(1, close - 1);
  }
  const std::size_t colon = host.rfind(':');
  if (colon != std::string::npos) host.resize(colon);
  return host;
}

bool HostAllowed(const std::string& bind_address, const std::string& host_header) {
  if (!IsLoopbackAddress(bind_address)) return true;
  if (host_header.empty()) return false;
  return IsLoopbackAddress(HostNameOf(host_header));
}

bool SameOrigin(const std::string& host_header, const std::string& origin,
                const std::string& referer) {
  // The page may have come through a proxy that speaks HTTPS to browsers.
  const std::string host = LowerAscii(host_header);
  const std::string owns[] = {"http://" + host, "https://" + host};
  if (!origin.empty()) {
    const std::string lower = LowerAscii(origin);
    return lower == owns[0] || lower == owns[1];
  }
  if (!referer.empty()) {
    const std::string lower = LowerAscii(referer);
    for (const std::string& own : owns) {
      if (lower == own || StartsWith(lower, own + "/")) return true;
    }
    return false;
  }
  return true;  // not sent by a page in a browser
}

std::optional<std::string> ResolveInside(const std::string& folder, const std::string& relative) {
  if (relative.empty() || relative.front() == '/') return std::nullopt;
  // Every segment must be a plain name.
  std::size_t start = 0;
  while (start <= relative.size()) {
    std::size_t end = relative.find('/', start);
    if (end == std::string::npos) end = relative.size();
    const std::string segment = relative.substr(start, end - start);
    if (segment.empty() || segment == "." || segment == "..") return std::nullopt;
    for (unsigned char c : segment) {
      if (c < 0x20 || c == 0x7F || c == '\\') return std::nullopt;
    }
    start = end + 1;
  }
  std::error_code error;
  const fs::path base = fs::canonical(folder, error);
  if (error) return std::nullopt;
  const fs::path target = fs::canonical(base / relative, error);
  if (error || !Inside(base, target)) return std::nullopt;
  struct stat status {};
  if (::stat(target.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  return target.string();
}

std::string ContentTypeFor(const std::string& path) {
  static const std::map<std::string, std::string> kTypes = {
      {"htm", "text/html; charset=utf-8"},  {"html", "text/html; charset=utf-8"},
      {"css", "text/css; charset=utf-8"},   {"js", "text/javascript; charset=utf-8"},
      {"txt", "text/plain; charset=utf-8"}, {"json", "application/json"},
      {"xml", "application/xml"},           {"gif", "image/gif"},
      {"png", "image/png"},                 {"jpg", "image/jpeg"},
      {"jpeg", "image/jpeg"},               {"bmp", "image/bmp"},
      {"ico", "image/vnd.microsoft.icon"},  {"svg", "image/svg+xml"},
      {"webp", "image/webp"},               {"pdf", "application/pdf"},
  };
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return "application/octet-stream";
  }
  const auto found = kTypes.find(LowerAscii(path.substr(dot + 1)));
  return found == kTypes.end() ? "application/octet-stream" : found->second;
}

std::string UrlEncodePath(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (unsigned char c : path) {
    if (IsAsciiAlphanumeric(static_cast<char>(c)) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 0x0F];
    }
  }
  return encoded;
}

}  // namespace zarel::serve
