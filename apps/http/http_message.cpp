// The lookups of Request and the checked setters of Response (see
// http_message.h).
#include "apps/http/http_message.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <boost/beast/http/status.hpp>

#include "zarel/base/ascii_text.h"

namespace zarel::http {

namespace {

// Token characters of a header name (tchar).
bool IsTokenChar(char c) {
  return IsAsciiAlphanumeric(c) || (c != 0 && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

// A header written into an answer must stay one header: a name that is not
// a token, or a value carrying CR, LF or NUL, would let text chosen by a
// client (a file name, a cookie) add headers or a body of its own.
void CheckHeader(std::string_view name, std::string_view value) {
  if (name.empty() || !std::all_of(name.begin(), name.end(), IsTokenChar)) {
    throw std::invalid_argument("header name is not a token: '" + std::string(name) + "'");
  }
  if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
    throw std::invalid_argument("header " + std::string(name) + " has a line break or NUL in its value");
  }
}

int HexValue(char c) {
  if (IsAsciiDigit(c)) return c - '0';
  return IsAsciiHexDigit(c) ? LowerAsciiChar(c) - 'a' + 10 : -1;
}

}  // namespace

std::optional<std::string> PercentDecode(std::string_view text, bool plus_is_space) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+' && plus_is_space) {
      out += ' ';
    } else if (text[i] == '%') {
      if (i + 2 >= text.size()) return std::nullopt;
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool SameHeaderName(std::string_view a, std::string_view b) { return EqualIgnoringAsciiCase(a, b); }

std::string_view Request::Path() const {
  const std::string_view all(target);
  return all.substr(0, all.find('?'));
}

std::optional<std::string> Request::DecodedPath() const {
  std::optional<std::string> path = PercentDecode(Path(), false);
  // A NUL would cut the name short in every system call that gets it.
  if (path && path->find('\0') != std::string::npos) return std::nullopt;
  return path;
}

std::string_view Request::Query() const {
  const std::size_t mark = target.find('?');
  return mark == std::string::npos ? std::string_view() : std::string_view(target).substr(mark + 1);
}

std::string_view Request::Header(std::string_view name) const {
  for (const HeaderField& field : headers) {
    if (SameHeaderName(field.first, name)) return field.second;
  }
  return {};
}

std::string_view Request::Cookie(std::string_view name) const {
  for (const HeaderField& field : headers) {
    if (!SameHeaderName(field.first, "Cookie")) continue;
    std::string_view rest(field.second);
    while (!rest.empty()) {
      const std::size_t end = std::min(rest.find(';'), rest.size());
      const std::string_view pair = TrimSpaceOrTab(rest.substr(0, end));
      rest.remove_prefix(std::min(end + 1, rest.size()));
      const std::size_t equals = pair.find('=');
      if (equals == std::string_view::npos) continue;
      if (TrimSpaceOrTab(pair.substr(0, equals)) == name) return TrimSpaceOrTab(pair.substr(equals + 1));
    }
  }
  return {};
}

std::optional<std::string> Request::QueryParameter(std::string_view name) const {
  std::string_view rest = Query();
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find('&'), rest.size());
    const std::string_view pair = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    const std::size_t equals = std::min(pair.find('='), pair.size());
    const std::optional<std::string> key = PercentDecode(pair.substr(0, equals), true);
    if (!key || *key != name) continue;
    return PercentDecode(equals < pair.size() ? pair.substr(equals + 1) : std::string_view(), true);
  }
  return std::nullopt;
}

FileSource::~FileSource() {
  if (fd_ >= 0) ::close(fd_);
}

FileSource::FileSource(FileSource&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(std::exchange(other.size_, 0)) {}

FileSource& FileSource::operator=(FileSource&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

void Response::SetHeader(std::string_view name, std::string_view value) {
  CheckHeader(name, value);
  std::erase_if(headers_, [name](const HeaderField& field) { return SameHeaderName(field.first, name); });
  headers_.emplace_back(name, value);
}

void Response::AddHeader(std::string_view name, std::string_view value) {
  CheckHeader(name, value);
  headers_.emplace_back(name, value);
}

std::string_view Response::Header(std::string_view name) const {
  for (const HeaderField& field : headers_) {
    if (SameHeaderName(field.first, name)) return field.second;
  }
  return {};
}

void Response::SetContent(std::string body, std::string_view content_type) {
  SetHeader("Content-Type", content_type);
  body_ = std::move(body);
  file_ = FileSource();
}

bool Response::SetFile(const std::string& path, std::string_view content_type, std::string& error) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused
  // below as not a regular file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  return SetOpenFile(fd, content_type, error);
}

bool Response::SetOpenFile(int fd, std::string_view content_type, std::string& error) {
  struct stat info {};
  const bool stated = ::fstat(fd, &info) == 0;
  if (!stated || !S_ISREG(info.st_mode)) {
    error = stated ? "not a regular file" : std::strerror(errno);
    ::close(fd);
    return false;
  }
  FileSource file(fd, static_cast<std::uint64_t>(info.st_size));  // closes it should the type throw
  SetHeader("Content-Type", content_type);
  body_.clear();
  file_ = std::move(file);
  return true;
}

std::string_view ReasonPhrase(int status) {
  const boost::beast::string_view reason =
      boost::beast::http::obsolete_reason(static_cast<boost::beast::http::status>(status));
  return {reason.data(), reason.size()};
}

}  // namespace zarel::http
