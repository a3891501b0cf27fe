// Tests of route matching: exact and prefix paths, HEAD taken as GET, the
// 404 and 405 answers, and which routes run inline.
#include <gtest/gtest.h>

#include "apps/http/http_router.h"

namespace zarel::http {
namespace {

Request Make(std::string method, std::string target) {
  Request request;
  request.method = std::move(method);
  request.target = std::move(target);
  return request;
}

TEST(RouterTest, RequestsGoToTheFirstRouteThatFitsOrAre404Or405) {
  Router router;
  const auto answer = [](std::string text) {
    return [text](const Request&, Response& response) { response.SetContent(text, "text/plain"); };
  };
  router.Get("/", answer("page"));
  router.Get("/site/*", answer("site"), Router::Runs::kInline);
  router.Post("/api/click", answer("click"));
  router.Get("/api/state", answer("state"));
  router.Post("/api/state", answer("state posted"));
  struct Case {
    std::string method;
    std::string target;
    int status;
    std::string body;
    std::string allow;
    bool runs_inline;
  };
  const std::vector<Case> cases = {
      {"GET", "/", 200, "page", "", false},
      {"HEAD", "/", 200, "page", "", false},
      {"GET", "/?x=1", 200, "page", "", false},
      {"GET", "/site/a/b.htm?download=1", 200, "site", "", true},
      {"GET", "/site/", 404, "There is nothing at this address.\n", "", true},
      {"GET", "/sitex", 404, "There is nothing at this address.\n", "", true},
      {"POST", "/api/click", 200, "click", "", false},
      {"GET", "/api/click", 405, "This address does not take that method.\n", "POST", true},
      {"DELETE", "/api/state", 405, "This address does not take that method.\n", "GET, HEAD, POST", true},
      {"POST", "/api/state", 200, "state posted", "", false},
      {"POST", "/api/click/", 404, "There is nothing at this address.\n", "", true},
      {"GET", "/API/STATE", 404, "There is nothing at this address.\n", "", true},
  };
  for (const Case& one : cases) {
    const Request request = Make(one.method, one.target);
    Response response;
    router(request, response);
    EXPECT_EQ(response.status, one.status) << one.method << " " << one.target;
    EXPECT_EQ(response.Body(), one.body) << one.method << " " << one.target;
    EXPECT_EQ(response.Header("Allow"), one.allow) << one.method << " " << one.target;
    EXPECT_EQ(router.RunsInline(request), one.runs_inline) << one.method << " " << one.target;
  }
}

}  // namespace
}  // namespace zarel::http
