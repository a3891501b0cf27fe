// Findings and figures of a crawl (see crawl_findings.h).
#include "apps/check/crawl_findings.h"

#include <algorithm>
#include <map>

namespace zarel::check {

namespace {

class CheckObserver : public crawl::CrawlObserver {
 public:
  CheckObserver(RoleCrawl& crawled, const std::function<void(std::size_t, std::size_t)>& progress)
      : crawled_(crawled), progress_(progress) {}

  void Visited(const crawl::VisitedNode& node) override {
    // One finding per component that said anything, and one for what the
    // node's own opening said: its messages in order, with the database
    // layer's reasons.
    std::map<std::optional<std::size_t>, Finding> by_component;
    std::vector<std::optional<std::size_t>> order;
    for (const crawl::CrawlEvent& event : node.events) {
      if (event.kind == crawl::CrawlEvent::Kind::kLog) continue;
      auto [entry, added] = by_component.try_emplace(event.component);
      Finding& finding = entry->second;
      if (added) {
        order.push_back(event.component);
        finding.check = event.component ? "component-failed" : "node-failed";
        finding.role = crawled_.role;
        finding.path = node.path;
        if (event.component) {
          const crawl::ComponentReport& component = node.components[*event.component];
          finding.table = "XWeb";
          finding.id = std::to_string(component.number);
          finding.context = "'" + component.caption + "', " + (component.type.empty() ? "no type" : component.type);
        }
      }
      if (event.kind == crawl::CrawlEvent::Kind::kReason) {
        finding.problem += " (reason: " + event.text + ")";
      } else {
        finding.problem += (finding.problem.empty() ? "" : "; ") + event.text;
      }
    }
    for (const auto& component : order) crawled_.findings.push_back(std::move(by_component[component]));

    for (const crawl::ComponentReport& component : node.components) {
      crawled_.slowest.push_back({node.path, component.number, component.caption, component.type,
                                  std::chrono::duration<double, std::milli>(component.elapsed).count()});
    }
    if (!node.page.empty() && node.depth > 0) crawled_.largest.push_back({node.path, node.page_bytes});
  }

  void Progress(std::size_t opened, std::size_t waiting) override {
    if (progress_) progress_(opened, waiting);
  }

 private:
  RoleCrawl& crawled_;
  const std::function<void(std::size_t, std::size_t)>& progress_;
};

}  // namespace

RoleCrawl CrawlForCheck(const crawl::CrawlOptions& options, int role,
                        const std::function<void(std::size_t, std::size_t)>& progress) {
  RoleCrawl crawled;
  crawled.role = role;
  crawl::CrawlOptions with_role = options;
  with_role.display.role = std::to_string(role);
  CheckObserver observer(crawled, progress);
  crawled.summary = crawl::CrawlSite(with_role, observer);
  std::stable_sort(crawled.slowest.begin(), crawled.slowest.end(),
                   [](const SlowComponent& a, const SlowComponent& b) { return a.milliseconds > b.milliseconds; });
  if (crawled.slowest.size() > kListed) crawled.slowest.resize(kListed);
  std::stable_sort(crawled.largest.begin(), crawled.largest.end(),
                   [](const LargePage& a, const LargePage& b) { return a.bytes > b.bytes; });
  if (crawled.largest.size() > kListed) crawled.largest.resize(kListed);
  return crawled;
}

nlohmann::json RoleCrawlJson(const RoleCrawl& crawled) {
  using nlohmann::json;
  json slowest = json::array();
  for (const SlowComponent& component : crawled.slowest) {
    slowest.push_back({{"path", component.path},
                       {"component", component.number},
                       {"caption", component.caption},
                       {"type", component.type},
                       {"milliseconds", component.milliseconds}});
  }
  json largest = json::array();
  for (const LargePage& page : crawled.largest) largest.push_back({{"path", page.path}, {"bytes", page.bytes}});
  return json{{"role", crawled.role},
              {"opened", crawled.summary.opened},
              {"leftUnopened", crawled.summary.left_unopened},
              {"lost", crawled.summary.lost},
              {"slowestComponents", slowest},
              {"largestPages", largest}};
}

}  // namespace zarel::check
