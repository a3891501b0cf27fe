// Tests of the web host's security checks on their own: paths of requests,
// files opened beneath a folder, server paths kept from the browser, hosts
// and origins.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "apps/serve/serve_security.h"
#include "zarel/testing/files.h"

namespace zarel::serve {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

TEST(ServeSecurityTest, SitePathsAreDecodedThenCheckedSegmentBySegment) {
  struct Case {
    std::string target;
    std::optional<std::string> relative;
  };
  const std::vector<Case> cases = {
      {"/site/oReport.htm", "oReport.htm"},
      {"/site/img/a%20b.gif?download=1", "img/a b.gif"},
      {"/site/%69mg/%41.txt", "img/A.txt"},
      {"/site/a+b.htm", "a+b.htm"},  // "+" is a plus in a path
      {"/site/", std::nullopt},
      {"/site", std::nullopt},
      {"/other/a.htm", std::nullopt},
      {"/site/../x", std::nullopt},
      {"/site/%2e%2e/x", std::nullopt},
      {"/site/%2E%2e/x", std::nullopt},
      {"/site/a/%2e/b", std::nullopt},
      {"/site/a//b", std::nullopt},
      {"/site/%2fetc/passwd", std::nullopt},
      {"/site/a%5c..%5cb", std::nullopt},  // backslashes
      {"/site/a%00.htm", std::nullopt},
      {"/site/a%0a.htm", std::nullopt},
      {"/site/a%7f.htm", std::nullopt},
      {"/site/%zz", std::nullopt},
      {"/site/a%4", std::nullopt},
      {"/site/a/", std::nullopt},
      {"/site/%252e%252e/x", "%2e%2e/x"},  // decoded once only: a plain name
      {"/site/" + std::string(5000, 'a'), std::nullopt},
      {"/site/caf%C3%A9.htm", "caf\xC3\xA9.htm"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SiteRelativePath(c.target, "/site/"), c.relative) << c.target;
  }
}

TEST(ServeSecurityTest, FilesOpenOnlyBeneathTheFolder) {
  TempFolder root;
  fs::create_directories(root.PathOf("folder/img"));
  std::ofstream(root.PathOf("folder/a.txt")) << "inside";
  std::ofstream(root.PathOf("folder/img/b.txt")) << "deeper";
  std::ofstream(root.PathOf("secret.txt")) << "outside";
  fs::create_symlink("img/b.txt", root.PathOf("folder/near.txt"));             // stays inside
  fs::create_symlink("../secret.txt", root.PathOf("folder/out.txt"));          // leads out
  fs::create_symlink(root.PathOf("secret.txt"), root.PathOf("folder/abs.txt"));  // absolute, out
  fs::create_symlink(root.Path(), root.PathOf("folder/up"));
  ASSERT_EQ(::mkfifo(root.PathOf("folder/pipe").c_str(), 0600), 0);
  const FolderHandle folder(root.PathOf("folder"));
  struct Case {
    std::string relative;
    std::string content;  // empty: refused
  };
  const std::vector<Case> cases = {
      {"a.txt", "inside"},
      {"img/b.txt", "deeper"},
      {"near.txt", "deeper"},
      {"out.txt", ""},
      {"abs.txt", ""},
      {"up/secret.txt", ""},
      {"img", ""},      // a folder
      {"pipe", ""},     // a FIFO: refused, and the open does not hang
      {"none.txt", ""},
      {"../secret.txt", ""},
      {"/etc/passwd", ""},
  };
  for (const Case& c : cases) {
    const int fd = folder.OpenFile(c.relative);
    if (c.content.empty()) {
      EXPECT_LT(fd, 0) << c.relative;
      continue;
    }
    ASSERT_GE(fd, 0) << c.relative;
    char buffer[64] = {};
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(::read(fd, buffer, sizeof buffer))), c.content);
    ::close(fd);
  }
  EXPECT_EQ(ResolveInside(root.PathOf("folder"), "near.txt"), fs::canonical(root.PathOf("folder/img/b.txt")).string());
  EXPECT_EQ(ResolveInside(root.PathOf("folder"), "out.txt"), std::nullopt);
}

TEST(ServeSecurityTest, ServerPathsAreTakenOutOfTexts) {
  const std::vector<HiddenPath> hidden = {{"/tmp/zarel-serve-ab12", "the work folder"},
                                          {"/tmp/zarel-serve-ab12/s3", "the session's folder"},
                                          {"/srv/site", "the site folder"}};
  struct Case {
    std::string text;
    std::string shown;
  };
  const std::vector<Case> cases = {
      {"Error: 75, Path/File access error: /tmp/zarel-serve-ab12/s3/oReport.htm",
       "Error: 75, Path/File access error: oReport.htm"},
      {"cannot open /tmp/zarel-serve-ab12/s3", "cannot open the session's folder"},
      {"cannot make /tmp/zarel-serve-ab12/s4: full", "cannot make s4: full"},
      {"copy /srv/site to /tmp/zarel-serve-ab12/s3: no", "copy the site folder to the session's folder: no"},
      {"/srv/site/img/a.gif and /srv/site/b.gif", "img/a.gif and b.gif"},
      {"nothing to hide", "nothing to hide"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HidePaths(c.text, hidden), c.shown) << c.text;
  }
  EXPECT_EQ(HidePaths("/a/b", {{"", "x"}}), "/a/b");  // an empty path hides nothing
}

TEST(ServeSecurityTest, HostsAndOriginsOfRequests) {
  struct HostCase {
    std::string bind;
    std::string host;
    bool allowed;
  };
  const std::vector<HostCase> hosts = {
      {"127.0.0.1", "127.0.0.1:8080", true},   {"127.0.0.1", "localhost", true},
      {"127.0.0.1", "[::1]:80", true},         {"127.0.0.1", "LOCALHOST:1", true},
      {"127.0.0.1", "evil.example", false},    {"127.0.0.1", "127.0.0.1.evil.example", false},
      {"127.0.0.1", "", false},                {"localhost", "10.0.0.1", false},
      {"0.0.0.0", "reports.example:8080", true}, {"192.168.1.5", "", true},
  };
  for (const HostCase& c : hosts) {
    EXPECT_EQ(HostAllowed(c.bind, c.host), c.allowed) << c.bind << " " << c.host;
  }
  struct OriginCase {
    std::string origin;
    std::string referer;
    bool same;
  };
  const std::vector<OriginCase> origins = {
      {"http://127.0.0.1:8080", "", true},
      {"HTTPS://127.0.0.1:8080", "", true},
      {"http://127.0.0.1:8081", "", false},
      {"null", "", false},
      {"", "http://127.0.0.1:8080/", true},
      {"", "http://127.0.0.1:8080", true},
      {"", "http://127.0.0.1:8080.evil.example/", false},
      {"", "", true},  // a program, not a page
  };
  for (const OriginCase& c : origins) {
    EXPECT_EQ(SameOrigin("127.0.0.1:8080", c.origin, c.referer), c.same) << c.origin << " " << c.referer;
  }
}

}  // namespace
}  // namespace zarel::serve
