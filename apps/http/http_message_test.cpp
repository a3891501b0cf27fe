// Tests of the request lookups (cookies, query parameters, headers) and the
// checked setters of answers (headers that could split an answer, files
// that are not regular files).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "apps/http/http_message.h"

namespace zarel::http {
namespace {

Request WithHeaders(std::vector<HeaderField> headers, std::string target = "/") {
  Request request;
  request.method = "GET";
  request.target = std::move(target);
  request.headers = std::move(headers);
  return request;
}

TEST(RequestTest, CookiesAreFoundByExactNameAcrossHeaders) {
  struct Case {
    std::vector<HeaderField> headers;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{{"Cookie", "zarel_session=abc"}}, "abc"},
      {{{"cookie", "a=1; zarel_session=abc; b=2"}}, "abc"},
      {{{"Cookie", "a=1;zarel_session = abc ;b=2"}}, "abc"},
      {{{"Cookie", "xzarel_session=evil; zarel_session=good"}}, "good"},
      {{{"Cookie", "zarel_session_old=1"}}, ""},
      {{{"Cookie", "a=1"}, {"Cookie", "zarel_session=second"}}, "second"},
      {{{"Cookie", "zarel_session=first; zarel_session=second"}}, "first"},
      {{{"Cookie", "noequals; zarel_session=v=w"}}, "v=w"},
      {{{"Cookie", ";;; ;"}}, ""},
      {{{"X-Cookie", "zarel_session=no"}}, ""},
      {{}, ""},
  };
  for (const Case& one : cases) {
    EXPECT_EQ(WithHeaders(one.headers).Cookie("zarel_session"), one.expected)
        << (one.headers.empty() ? "" : one.headers.back().second);
  }
}

TEST(RequestTest, QueryParametersArePercentDecodedAndMalformedOnesRefused) {
  struct Case {
    std::string target;
    std::optional<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"/site/a.htm?download=1", "1"},
      {"/site/a.htm?x=2&download=1&download=2", "1"},
      {"/site/a.htm?download", ""},
      {"/site/a.htm?download=", ""},
      {"/site/a.htm?download=a%20b+c", "a b c"},
      {"/site/a.htm?down%6coad=yes", "yes"},
      {"/site/a.htm?download=%0d%0a", "\r\n"},
      {"/site/a.htm?download=%", std::nullopt},
      {"/site/a.htm?download=%4", std::nullopt},
      {"/site/a.htm?download=%zz", std::nullopt},
      {"/site/a.htm?downloads=1", std::nullopt},
      {"/site/a.htm", std::nullopt},
      {"/site/a.htm?", std::nullopt},
  };
  for (const Case& one : cases) {
    EXPECT_EQ(WithHeaders({}, one.target).QueryParameter("download"), one.expected) << one.target;
  }
}

TEST(RequestTest, DecodedPathsShowWhatTheyNameAndRefuseNul) {
  struct Case {
    std::string target;
    std::optional<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"/site/oReport.htm", "/site/oReport.htm"},
      {"/site/a%20b+c.htm?x=%00", "/site/a b+c.htm"},
      {"/site/%2e%2e/%2E%2E/etc/passwd", "/site/../../etc/passwd"},
      {"/site/%252e%252e/x", "/site/%2e%2e/x"},  // decoded once only
      {"/site/a%5cb", "/site/a\\b"},
      {"/site/a%00.htm", std::nullopt},
      {"/site/a%2", std::nullopt},
      {"/site/a%g0", std::nullopt},
  };
  for (const Case& one : cases) {
    EXPECT_EQ(WithHeaders({}, one.target).DecodedPath(), one.expected) << one.target;
  }
}

TEST(RequestTest, PathQueryAndHeadersAreSplitAsSent) {
  const Request request = WithHeaders({{"Host", "a"}, {"content-TYPE", "application/json"}, {"Host", "b"}},
                                      "/api/click?x=%2F?y");
  EXPECT_EQ(request.Path(), "/api/click");
  EXPECT_EQ(request.Query(), "x=%2F?y");
  EXPECT_EQ(request.Header("Content-Type"), "application/json");
  EXPECT_EQ(request.Header("host"), "a");
  EXPECT_EQ(request.Header("Origin"), "");
  EXPECT_EQ(WithHeaders({}, "/plain").Query(), "");
}

TEST(ResponseTest, HeadersThatCouldSplitTheAnswerAreRefused) {
  struct Case {
    std::string name;
    std::string value;
    bool accepted;
  };
  const std::vector<Case> cases = {
      {"Content-Disposition", "attachment; filename=\"a.htm\"", true},
      {"X-Empty", "", true},
      {"X-Tab", "a\tb", true},
      {"Set-Cookie", "a=1\r\nSet-Cookie: b=2", false},
      {"X-Lf", "a\nb", false},
      {"X-Cr", "a\rb", false},
      {"X-Nul", std::string("a\0b", 3), false},
      {"Bad Name", "v", false},
      {"Bad:Name", "v", false},
      {"", "v", false},
      {"X-Ok!#$%&'*+-.^_`|~", "v", true},
  };
  for (const Case& one : cases) {
    Response response;
    if (one.accepted) {
      EXPECT_NO_THROW(response.SetHeader(one.name, one.value)) << one.name;
      EXPECT_NO_THROW(response.AddHeader(one.name, one.value)) << one.name;
      EXPECT_EQ(response.Headers().size(), 2u) << one.name;
    } else {
      EXPECT_THROW(response.SetHeader(one.name, one.value), std::invalid_argument) << one.name;
      EXPECT_THROW(response.AddHeader(one.name, one.value), std::invalid_argument) << one.name;
      EXPECT_TRUE(response.Headers().empty()) << one.name;
    }
  }
}

TEST(ResponseTest, SetHeaderReplacesEveryHeaderOfTheNameAndAddHeaderKeepsThem) {
  Response response;
  response.AddHeader("Set-Cookie", "a=1");
  response.AddHeader("set-cookie", "b=2");
  EXPECT_EQ(response.Headers().size(), 2u);
  response.SetHeader("SET-COOKIE", "c=3");
  ASSERT_EQ(response.Headers().size(), 1u);
  EXPECT_EQ(response.Header("Set-Cookie"), "c=3");
}

TEST(ResponseTest, OnlyRegularFilesAreSentAndAFailureChangesNothing) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("zarel-http-files-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path file = folder / "page.htm";
  std::ofstream(file) << "<p>page</p>";
  const fs::path fifo = folder / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

  Response response;
  response.SetContent("before", "text/plain");
  std::string error;
  EXPECT_FALSE(response.SetFile((folder / "missing.htm").string(), "text/html", error));
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_FALSE(response.SetFile(folder.string(), "text/html", error));
  EXPECT_EQ(error, "not a regular file");
  EXPECT_FALSE(response.SetFile(fifo.string(), "text/html", error));  // and does not hang
  EXPECT_EQ(error, "not a regular file");
  EXPECT_FALSE(response.HasFile());
  EXPECT_EQ(response.Body(), "before");
  EXPECT_EQ(response.Header("Content-Type"), "text/plain");

  ASSERT_TRUE(response.SetFile(file.string(), "text/html", error));
  EXPECT_TRUE(response.HasFile());
  EXPECT_EQ(response.ContentLength(), 11u);
  EXPECT_EQ(response.Body(), "");
  EXPECT_EQ(response.Header("Content-Type"), "text/html");
  response.SetContent("after", "text/plain");  // replaces the file
  EXPECT_FALSE(response.HasFile());
  EXPECT_EQ(response.ContentLength(), 5u);
  fs::remove_all(folder);
}

TEST(MessageTest, HeaderNamesIgnoreLetterCaseOnly) {
  EXPECT_TRUE(SameHeaderName("Content-Type", "content-type"));
  EXPECT_TRUE(SameHeaderName("", ""));
  EXPECT_FALSE(SameHeaderName("Content-Type", "Content-Typ"));
  EXPECT_FALSE(SameHeaderName("A-B", "A_B"));
  EXPECT_EQ(ReasonPhrase(431), "Request Header Fields Too Large");
  EXPECT_EQ(ReasonPhrase(503), "Service Unavailable");
}

}  // namespace
}  // namespace zarel::http
