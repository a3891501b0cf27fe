// zarel check (see check_command.h).
#include "apps/check/check_command.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "apps/check/crawl_findings.h"
#include "apps/check/site_checks.h"
#include "apps/options/connection_option.h"

namespace zarel {

namespace {

constexpr int kClean = 0;
constexpr int kFound = 1;

constexpr const char* kCheckFooter = R"(Each finding is one line: the table, the row's ID and column, what is wrong
and how to mend it, for instance
  XWeb 12 (node 4, 'Orders by month'), column 4 (procedure): procedure
  'MonthlyOrders' not found in XProc. Mend: add an XProc row named
  'MonthlyOrders', or correct the name.
With --crawl, what the engine said while opening a node follows, as
  crawl, role 0, Shop\Products, XWeb 12 ('Orders', table): Unable to Access
  Data for the SQL : EXEC Orders; Error Reading Data From Database (reason:
  Could not find stored procedure 'Orders'.).

The database is never written: the checks read inside a read-only
transaction, the crawl inside a transaction that is rolled back.

Exit status: 0 nothing found, 1 findings or a database that cannot be
opened, 2 usage. --json prints one JSON document (see the README).)";

// The JSON document as text. The site's texts (captions, procedure names,
// the database's reasons) are bytes as the database holds them, not always
// UTF-8: a byte that is not UTF-8 becomes U+FFFD rather than failing the
// run.
std::string JsonText(const nlohmann::json& document) {
  return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

// A temporary folder for the crawl's pages, removed with the object.
class PagesFolder {
 public:
  PagesFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zarel-check-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~PagesFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  PagesFolder(const PagesFolder&) = delete;
  PagesFolder& operator=(const PagesFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

CLI::App* AddCheckCommand(CLI::App& app, CheckOptions& options) {
  CLI::App* check = app.add_subcommand(
      "check", "Check a report site for mistakes before its users meet them: the site tables, the "
               "procedures they call, the option texts, the pictures; with --crawl, every page.");
  check->footer(kCheckFooter);
  AddConnectionArgument(*check, options.connection);
  check->add_option("--folder", options.folder,
                    "The site's application folder: the pictures the pages name are looked for there")
      ->check(CLI::ExistingDirectory);
  check->add_option("--role", options.roles,
                    "Crawl as a user of this role (UserRole); repeatable (default 0)")
      ->type_name("N")
      ->check(CLI::Range(-32768, 32767))
      ->allow_extra_args(false);
  check->add_flag("--crawl", options.crawl,
                  "Then open every node as a user would, breadth first, and report what the engine "
                  "says");
  check->add_option("--max-nodes", options.max_nodes,
                    "Nodes a crawl opens at most, per role (default 1000)")
      ->check(CLI::Range(std::size_t{1}, std::size_t{1000000}));
  check->add_option("--max-depth", options.max_depth,
                    "Levels below the root a crawl goes down (default 50)")
      ->check(CLI::Range(std::size_t{0}, std::size_t{10000}));
  check->add_flag("--json", options.json, "Print the findings as one JSON document, for CI");
  return check;
}

int RunCheck(const CheckOptions& options, std::ostream& out, std::ostream& err) {
  using nlohmann::json;
  const check::StaticResult checked = check::CheckSite(options.connection, options.folder);
  if (checked.connection_failure) {
    if (options.json) {
      out << JsonText(json{{"status", kFound},
                  {"error", "cannot open the report database: " + *checked.connection_failure},
                  {"findings", json::array()},
                  {"crawls", json::array()}})
          << "\n";
    }
    err << "zarel: cannot open the report database: " << *checked.connection_failure << "\n";
    return kFound;
  }
  std::vector<check::Finding> findings = checked.findings;

  std::vector<check::RoleCrawl> crawls;
  if (options.crawl) {
    PagesFolder pages;
    if (pages.Path().empty()) {
      err << "zarel: cannot make a temporary folder for the crawl's pages\n";
      return kFound;
    }
    crawl::CrawlOptions crawl_options;
    crawl_options.connection = options.connection;
    crawl_options.folder = pages.Path();
    crawl_options.max_nodes = options.max_nodes;
    crawl_options.max_depth = options.max_depth;
    const std::vector<int> roles = options.roles.empty() ? std::vector<int>{0} : options.roles;
    for (const int role : roles) {
      std::function<void(std::size_t, std::size_t)> progress;
      if (options.progress) {
        progress = [&err, role](std::size_t opened, std::size_t waiting) {
          err << "\rcrawl, role " << role << ": " << opened << " nodes opened, " << waiting << " waiting   "
              << std::flush;
        };
      }
      crawls.push_back(check::CrawlForCheck(crawl_options, role, progress));
      if (options.progress) err << "\n";
      const check::RoleCrawl& crawled = crawls.back();
      findings.insert(findings.end(), crawled.findings.begin(), crawled.findings.end());
    }
  }

  const int status = findings.empty() ? kClean : kFound;
  if (options.json) {
    json listed = json::array();
    for (const check::Finding& finding : findings) listed.push_back(check::FindingJson(finding));
    json crawled = json::array();
    for (const check::RoleCrawl& one : crawls) crawled.push_back(check::RoleCrawlJson(one));
    out << JsonText(json{{"status", status}, {"findings", listed}, {"crawls", crawled}}) << "\n";
  } else {
    for (const check::Finding& finding : findings) out << check::FindingText(finding) << "\n";
  }
  out.flush();

  for (const check::RoleCrawl& one : crawls) {
    err << "zarel check: crawled " << one.summary.opened << " nodes as role " << one.role;
    if (one.summary.left_unopened > 0) {
      err << ", " << one.summary.left_unopened << " left unopened (--max-nodes, --max-depth)";
    }
    if (one.summary.lost > 0) err << ", " << one.summary.lost << " no longer found when revisited";
    err << "\n";
    for (const check::SlowComponent& component : one.slowest) {
      char milliseconds[32];
      std::snprintf(milliseconds, sizeof milliseconds, "%.1f", component.milliseconds);
      err << "  slow: " << milliseconds << " ms  " << component.path << ", XWeb " << component.number
          << " ('" << component.caption << "', " << component.type << ")\n";
    }
    for (const check::LargePage& page : one.largest) {
      err << "  large: " << page.bytes << " bytes  " << page.path << "\n";
    }
  }
  if (findings.empty()) {
    err << "zarel check: no findings\n";
  } else {
    err << "zarel check: " << findings.size() << (findings.size() == 1 ? " finding" : " findings") << "\n";
  }
  return status;
}

}  // namespace zarel
