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
// - Files: a request path inside the session's folder is resolved segment by
//   segment, refusing empty, "." and ".." segments and control characters,
//   then canonicalised (symbolic links resolved) and accepted only when it
//   still lies inside the folder and names a regular file.
#ifndef ZAREL_APPS_SERVE_SERVE_SECURITY_H_
#define ZAREL_APPS_SERVE_SERVE_SECURITY_H_

#include <optional>
#include <string>

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

// The file that a URL path relative to folder names ("img/a.gif"), or
// nothing when it would leave the folder, goes through a symbolic link out
// of it, has a bad segment, or is no regular file. folder must exist.
std::optional<std::string> ResolveInside(const std::string& folder, const std::string& relative);

// The exact Content-Type of a file, by its extension (any case); unknown
// extensions are application/octet-stream.
std::string ContentTypeFor(const std::string& path);

// Percent-encodes a path for a URL, keeping "/" and unreserved characters.
std::string UrlEncodePath(const std::string& path);

}  // namespace zarel::serve

#endif  // ZAREL_APPS_SERVE_SERVE_SECURITY_H_
