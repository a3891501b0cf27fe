// Request and Response: the HTTP messages the server hands to its handler,
// as plain values that do not depend on the library that reads them off the
// wire, with the lookups a handler needs (headers, cookies, query
// parameters).
//
// Threading: both are plain values; one instance is used by one thread at a
// time (the server gives each request to exactly one handler call).
#ifndef ZAREL_APPS_HTTP_HTTP_MESSAGE_H_
#define ZAREL_APPS_HTTP_HTTP_MESSAGE_H_

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zarel::http {

using HeaderField = std::pair<std::string, std::string>;

// Whether two header names are the same (header names ignore letter case).
bool SameHeaderName(std::string_view a, std::string_view b);

// Decodes the %XX escapes of a path or query text, and "+" as a space when
// plus_is_space (queries); nothing when an escape is malformed ("%4", "%zz").
// A pure function, safe from any thread.
std::optional<std::string> PercentDecode(std::string_view text, bool plus_is_space);

struct Request {
  std::string method;   // as sent: "GET", "POST", ...
  std::string target;   // as sent: "/site/a.htm?download=1"
  int version = 11;     // 10 for HTTP/1.0, 11 for HTTP/1.1
  std::vector<HeaderField> headers;  // in the order sent, names as sent
  std::string body;     // never longer than the server's body bound
  std::string peer;     // the client's address, e.g. "127.0.0.1" or "::1"
  // Requested when the server stops: work that may take long (a query)
  // should watch it, or register a std::stop_callback that interrupts it.
  std::stop_token stop;

  // The target before "?", as sent (not percent-decoded).
  std::string_view Path() const;
  // The path percent-decoded ("+" stays "+"); nothing when an escape is
  // malformed or decodes to NUL. A handler that maps paths to files must
  // check the decoded path ("%2e%2e" is ".."), never the path as sent.
  std::optional<std::string> DecodedPath() const;
  // The target after "?", or empty.
  std::string_view Query() const;
  // The first header of that name (letter case ignored), or empty.
  std::string_view Header(std::string_view name) const;
  // The value of the first cookie of that name in the Cookie headers, or
  // empty.
  std::string_view Cookie(std::string_view name) const;
  // The first query parameter of that name, percent-decoded ("+" is a
  // space); nothing when absent or when its escapes are malformed.
  std::optional<std::string> QueryParameter(std::string_view name) const;
};

// An open file whose content a response sends; closes it when it goes.
class FileSource {
 public:
  FileSource() = default;
  FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  ~FileSource();
  FileSource(FileSource&& other) noexcept;
  FileSource& operator=(FileSource&& other) noexcept;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }
  std::uint64_t Size() const { return size_; }

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

class Response {
 public:
  int status = 200;

  // Sets a header, replacing every header of the same name. Throws
  // std::invalid_argument for a name that is not a token or a value with a
  // line break or NUL (they would let a value smuggle headers of its own
  // into the answer); the server answers 500 for a handler that throws.
  void SetHeader(std::string_view name, std::string_view value);
  // Adds one more header of that name (Set-Cookie); checked as above.
  void AddHeader(std::string_view name, std::string_view value);
  // The first header of that name, or empty.
  std::string_view Header(std::string_view name) const;
  const std::vector<HeaderField>& Headers() const { return headers_; }

  // The body, and its Content-Type. Replaces a file set before.
  void SetContent(std::string body, std::string_view content_type);
  const std::string& Body() const { return body_; }
  // The body, for the server to send; leaves none behind.
  std::string TakeBody() { return std::move(body_); }

  // Answers with the content of a regular file, read piece by piece while
  // it is sent, so a large file costs the server one small buffer and not
  // its size. The file is opened here, once: what is sent is what was
  // opened even when the name is changed afterwards. Answers false with the
  // reason in error (and changes nothing) when it cannot be opened or is not
  // a regular file.
  bool SetFile(const std::string& path, std::string_view content_type, std::string& error);
  // The same for a file the handler opened itself (beneath a folder, say):
  // takes the descriptor, which is closed when the answer has gone or here
  // when it is not a regular file (answers false then).
  bool SetOpenFile(int fd, std::string_view content_type, std::string& error);
  bool HasFile() const { return file_.IsOpen(); }
  // The file set, for the server to send; leaves none behind.
  FileSource TakeFile() { return std::move(file_); }
  // The length of the body or the file.
  std::uint64_t ContentLength() const { return file_.IsOpen() ? file_.Size() : body_.size(); }

 private:
  std::vector<HeaderField> headers_;
  std::string body_;
  FileSource file_;
};

// The reason phrase of a status ("Not Found").
std::string_view ReasonPhrase(int status);

}  // namespace zarel::http

#endif  // ZAREL_APPS_HTTP_HTTP_MESSAGE_H_
