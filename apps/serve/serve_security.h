// The web host's security checks, each a small pure function so that the
// HTTP routes stay readable and the rules can be tested on their own.
//
// - Session ids: 32 bytes read from /dev/urandom (the kernel's
//   cryptographic random source), as 64 lower-case hex digits.
// - Host names: a server bound to a loopback address answers only requests
//   that name a loopback host (localhost, 127.x.y.z, [::1]), so a web page
//   whose own host name was made to point at 127.0.0.1 ("DNS rebinding")
//   cannot reach it.
// - Origins: a state-changing request (POST) coming from a browser carries
//   Origin (or at least Referer); it must name this very server. A request
//   with neither comes from a program, not from a page in a browser, and is
//   let through.
// - Files: a request path is percent-decoded first (so "%2e%2e" is seen as
//   ".."), malformed escapes and NUL refused; then every segment must be a
//   plain name (no empty, "." or ".." segment, no backslash or control
//   character). The file is opened beneath the session's folder by the
//   kernel (openat2 with RESOLVE_BENEATH), which refuses any way out of it,
//   symbolic links included, in the same call that opens it: nothing can be
//   swapped between a check and the open. Where the kernel lacks openat2,
//   the path is canonicalised (links resolved) and must still lie inside
//   the folder. Only regular files are served (a FIFO cannot hang a
//   thread).
// - Paths: the server's own folders (the work folder, each session's copy,
//   the site folder) never reach the browser: texts sent to it have them
//   taken out (HidePaths).
#ifndef ZAREL_APPS_SERVE_SERVE_SECURITY_H_
#define ZAREL_APPS_SERVE_SERVE_SECURITY_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarel::serve {

// A new session id: 64 hex digits from 32 bytes of /dev/urandom. Raises
// RuntimeError 75 when the random source cannot be read (the server then
// refuses to create sessions rather than make guessable ones).
std::string NewSessionId();

// Whether text has the form of a session id (64 lower-case hex digits).
bool LooksLikeSessionId(const std::string& text);

// Whether the bind address is a loopback address or name.
bool IsLoopbackAddress(const std::string& address);

// The host part of a Host header ("localhost:8080" -> "localhost",
// "[::1]:80" -> "::1"), lower case.
std::string HostNameOf(const std::string& host_header);

// Whether a request with this Host header may be answered by a server bound
// to bind_address: any host when the server is reachable from outside, only
// loopback names when it is bound to loopback.
bool HostAllowed(const std::string& bind_address, const std::string& host_header);

// Whether a POST with these Origin and Referer headers (empty when absent)
// comes from a page of this server, whose own origin is "http://" +
// host_header (or "https://" + host_header behind an HTTPS proxy).
bool SameOrigin(const std::string& host_header, const std::string& origin,
                const std::string& referer);

// Whether relative is a plain relative path: not empty, at most 4,096
// bytes, and every "/"-separated segment a name (not empty, not "." or
// "..", without backslashes or control characters).
bool IsPlainRelativePath(std::string_view relative);

// The file a request target names under the prefix (kSitePrefix,
// "/site/"): the path before any "?", after the prefix, percent-decoded
// and a plain relative path; nothing otherwise. "/site/img/a%20b.gif?x=1"
// gives "img/a b.gif".
std::optional<std::string> SiteRelativePath(std::string_view target, std::string_view prefix);

// The file that a URL path relative to folder names ("img/a.gif"), or
// nothing when it would leave the folder, goes through a symbolic link out
// of it, has a bad segment, or is no regular file. folder must exist.
std::optional<std::string> ResolveInside(const std::string& folder, const std::string& relative);

// A folder opened once, for opening files beneath it; closed when it goes.
class FolderHandle {
 public:
  // Opens the folder (path must name a folder); raises RuntimeError 75 when
  // it cannot be opened.
  explicit FolderHandle(const std::string& path);
  ~FolderHandle();
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;

  // Opens the regular file relative names beneath the folder for reading
  // (see "Files" above); answers its descriptor, which the caller closes,
  // or -1 when there is no such file inside the folder. relative must be a
  // plain relative path. May be called from several threads at once.
  int OpenFile(const std::string& relative) const;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;  // canonical
  int fd_ = -1;
};

// A server path to keep from the browser, and the words shown instead when
// the path stands alone.
struct HiddenPath {
  std::string path;
  std::string shown;
};
// The text with every hidden path taken out: "PATH/rest" becomes "rest",
// PATH alone becomes its words. The longest paths are replaced first.
std::string HidePaths(std::string_view text, const std::vector<HiddenPath>& hidden);

// The exact Content-Type of a file, by its extension (any case); unknown
// extensions are application/octet-stream.
std::string ContentTypeFor(const std::string& path);

// Percent-encodes a path for a URL, keeping "/" and unreserved characters.
std::string UrlEncodePath(const std::string& path);

}  // namespace zarel::serve

#endif  // ZAREL_APPS_SERVE_SERVE_SECURITY_H_
