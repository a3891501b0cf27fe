// The web host's security checks (see serve_security.h).
#include "apps/serve/serve_security.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "apps/http/http_message.h"
#include "zarel/base/ascii_text.h"
#include "zarel/base/error.h"

namespace zarel::serve {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kIdBytes = 32;
constexpr std::size_t kMaxRelativePath = 4096;

// Whether the kernel has openat2 (Linux 5.6 on; a container's seccomp
// profile may still refuse it): found out once, on the first open.
std::atomic<bool> openat2_missing{false};

// Opens relative beneath folder_fd, or -1: the kernel refuses every
// resolution that would leave the folder (EXDEV).
int OpenBeneath(int folder_fd, const std::string& relative) {
  open_how how{};
  how.flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  return static_cast<int>(::syscall(SYS_openat2, folder_fd, relative.c_str(), &how, sizeof how));
}

// The descriptor when it names a regular file, else -1 (and it is closed).
int RegularOrClose(int fd) {
  if (fd < 0) return -1;
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

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

bool IsPlainRelativePath(std::string_view relative) {
  if (relative.empty() || relative.size() > kMaxRelativePath) return false;
  std::size_t start = 0;
  while (start <= relative.size()) {
    std::size_t end = relative.find('/', start);
    if (end == std::string_view::npos) end = relative.size();
    const std::string_view segment = relative.substr(start, end - start);
    if (segment.empty() || segment == "." || segment == "..") return false;
    for (const char c : segment) {
      if (IsAsciiControl(c) || c == '\\') return false;
    }
    start = end + 1;
  }
  return true;
}

std::optional<std::string> SiteRelativePath(std::string_view target, std::string_view prefix) {
  const std::string_view path = target.substr(0, target.find('?'));
  if (!path.starts_with(prefix)) return std::nullopt;
  std::optional<std::string> relative = http::PercentDecode(path.substr(prefix.size()), false);
  if (!relative || !IsPlainRelativePath(*relative)) return std::nullopt;
  return relative;
}

std::optional<std::string> ResolveInside(const std::string& folder, const std::string& relative) {
  if (!IsPlainRelativePath(relative)) return std::nullopt;
  std::error_code error;
  const fs::path base = fs::canonical(folder, error);
  if (error) return std::nullopt;
  const fs::path target = fs::canonical(base / relative, error);
  if (error || !Inside(base, target)) return std::nullopt;
  struct stat status {};
  if (::stat(target.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  return target.string();
}

FolderHandle::FolderHandle(const std::string& path) {
  std::error_code error;
  path_ = fs::canonical(path, error).string();
  if (!error) fd_ = ::open(path_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (error || fd_ < 0) {
    Raise(errc::kPathFileAccessError, "cannot open the folder " + path + ": " +
                                          (error ? error.message() : std::string(std::strerror(errno))));
  }
}

FolderHandle::~FolderHandle() { ::close(fd_); }

int FolderHandle::OpenFile(const std::string& relative) const {
  if (!IsPlainRelativePath(relative)) return -1;
  if (!openat2_missing.load(std::memory_order_relaxed)) {
    const int fd = OpenBeneath(fd_, relative);
    if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return RegularOrClose(fd);
    openat2_missing = true;
  }
  const std::optional<std::string> path = ResolveInside(path_, relative);
  if (!path) return -1;
  return RegularOrClose(::open(path->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
}

std::string HidePaths(std::string_view text, const std::vector<HiddenPath>& hidden) {
  std::vector<const HiddenPath*> longest_first;
  for (const HiddenPath& one : hidden) {
    if (!one.path.empty()) longest_first.push_back(&one);
  }
  std::sort(longest_first.begin(), longest_first.end(),
            [](const HiddenPath* a, const HiddenPath* b) { return a->path.size() > b->path.size(); });
  std::string out(text);
  for (const HiddenPath* one : longest_first) {
    for (std::size_t at = out.find(one->path); at != std::string::npos; at = out.find(one->path, at)) {
      const std::size_t end = at + one->path.size();
      if (end < out.size() && out[end] == '/') {
        out.erase(at, one->path.size() + 1);
      } else {
        out.replace(at, one->path.size(), one->shown);
        at += one->shown.size();
      }
    }
  }
  return out;
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
