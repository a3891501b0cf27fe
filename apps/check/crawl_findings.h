// What zarel check --crawl makes of a crawl: a finding for every component
// (and every node) that made the engine say something, with the database
// layer's reason, and the slowest components and largest pages.
#ifndef ZAREL_APPS_CHECK_CRAWL_FINDINGS_H_
#define ZAREL_APPS_CHECK_CRAWL_FINDINGS_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "apps/check/site_findings.h"
#include "apps/crawl/site_crawl.h"

namespace zarel::check {

struct SlowComponent {
  std::string path;
  std::int32_t number = 0;
  std::string caption;
  std::string type;
  double milliseconds = 0;
};

struct LargePage {
  std::string path;
  std::uintmax_t bytes = 0;
};

struct RoleCrawl {
  int role = 0;
  crawl::CrawlSummary summary;
  std::vector<Finding> findings;
  std::vector<SlowComponent> slowest;  // at most kListed, slowest first
  std::vector<LargePage> largest;      // at most kListed, largest first
};

inline constexpr std::size_t kListed = 5;

// Crawls the site as a user of the role; progress, when set, hears the
// crawl's progress.
RoleCrawl CrawlForCheck(const crawl::CrawlOptions& options, int role,
                        const std::function<void(std::size_t opened, std::size_t waiting)>& progress);

nlohmann::json RoleCrawlJson(const RoleCrawl& crawled);

}  // namespace zarel::check

#endif  // ZAREL_APPS_CHECK_CRAWL_FINDINGS_H_
