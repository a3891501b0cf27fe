// The export of a site as static pages (see site_export.h).
#include "apps/export/site_export.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "apps/export/export_index.h"
#include "apps/export/page_files.h"
#include "apps/export/page_names.h"
#include "zarel/base/date_time.h"
#include "zarel/hostkit/tree_images.h"

namespace zarel::site_export {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const fs::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw fs::filesystem_error("cannot write", file, std::make_error_code(std::errc::io_error));
}

// A new folder with a unique name beginning with `pattern`'s, or empty.
fs::path MakeFolder(const fs::path& pattern) {
  std::string name = pattern.string() + "XXXXXX";
  if (::mkdtemp(name.data()) == nullptr) return {};
  return name;
}

// A temporary folder, removed with the object.
class TemporaryFolder {
 public:
  explicit TemporaryFolder(const fs::path& pattern) : path_(MakeFolder(pattern)) {}
  ~TemporaryFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  const fs::path& Path() const { return path_; }
  // The folder stays (it was moved into place).
  void Keep() { path_.clear(); }

 private:
  fs::path path_;
};

// Takes the crawl's nodes as they come, writes each page and the files it
// names into the staging folder, and grows the tree.
class Exporter : public crawl::CrawlObserver {
 public:
  Exporter(const ExportOptions& options, const fs::path& staging, const fs::path& work,
           const std::function<void(const ExportProgress&)>& progress)
      : options_(options), pages_(staging / kPagesFolder), work_(work), progress_(progress) {
    fs::create_directories(pages_);
    started_ = Clock::now();
  }

  void Visited(const crawl::VisitedNode& visit) override {
    const std::size_t index = result_.nodes.size();
    ExportedNode node;
    node.path = visit.path;
    node.text = visit.text;
    node.image = visit.image;
    node.image_file = TreeImage(visit.image);
    node.fore_color = visit.fore_color;
    node.tag = visit.tag;
    for (const crawl::CrawlEvent& event : visit.events) {
      if (event.kind == crawl::CrawlEvent::Kind::kLog) continue;
      node.failed = true;
      if (event.kind == crawl::CrawlEvent::Kind::kReason) {
        node.problem += " (reason: " + event.text + ")";
      } else {
        node.problem += (node.problem.empty() ? "" : "; ") + event.text;
      }
    }
    if (!visit.page.empty()) {
      std::error_code error;
      if (fs::is_regular_file(visit.page, error)) {
        node.page = names_.NameFor(visit.path);
        const std::string html = ReadFile(visit.page);
        WriteFile(pages_ / node.page, html);
        ++result_.pages;
        Carry(html, node.page);
      }
    }
    if (node.failed) result_.failed.push_back(index);
    by_route_[visit.route] = index;
    if (!visit.route.empty()) {
      std::vector<std::size_t> parent(visit.route.begin(), visit.route.end() - 1);
      const auto found = by_route_.find(parent);
      if (found != by_route_.end()) {
        std::vector<std::size_t>& siblings = result_.nodes[found->second].children;
        siblings.push_back(index);
        positions_[index] = visit.route.back();
        // Children arrive in order of position; keep them so in any case.
        std::sort(siblings.begin(), siblings.end(), [this](std::size_t a, std::size_t b) {
          return positions_[a] < positions_[b];
        });
      }
    }
    result_.nodes.push_back(std::move(node));
  }

  void Progress(std::size_t opened, std::size_t waiting) override {
    if (!progress_) return;
    progress_({opened, result_.pages, waiting, Clock::now() - started_});
  }

  ExportResult& Result() { return result_; }

 private:
  // The node's tree picture (the web host's rule), copied into the pages'
  // folder once.
  std::string TreeImage(const std::string& image) {
    const auto known = tree_images_.find(image);
    if (known != tree_images_.end()) return known->second;
    std::string name;
    for (const std::string& candidate : TreeImageFileNames(image)) {
      if (Copy(candidate)) {
        name = candidate;
        break;
      }
    }
    tree_images_.emplace(image, name);
    return name;
  }

  // Copies the files a page names from the composition folder (pictures
  // the engine saved while composing) or the site folder.
  void Carry(const std::string& html, const std::string& page) {
    const PageReferences references = RelativeReferences(html);
    for (const std::string& name : references.named) {
      if (!Copy(name) && missing_.insert(name).second) {
        result_.missing_files.push_back(name + " (named by " + page + ")");
      }
    }
    for (const std::string& name : references.quoted) Copy(name);
  }

  // Whether the file is in the pages' folder now (copied before or now).
  bool Copy(const std::string& name) {
    const auto known = copied_.find(name);
    if (known != copied_.end()) return known->second;
    bool copied = false;
    if (const auto source = FindInside({work_, options_.site_folder}, name)) {
      const fs::path target = pages_ / name;
      std::error_code error;
      fs::create_directories(target.parent_path(), error);
      if (!error && !fs::exists(target, error)) {
        fs::copy_file(*source, target, error);
        if (!error) ++result_.files;
      }
      copied = !error;
    }
    copied_.emplace(name, copied);
    return copied;
  }

  const ExportOptions& options_;
  fs::path pages_;
  fs::path work_;
  const std::function<void(const ExportProgress&)>& progress_;
  Clock::time_point started_;
  ExportResult result_;
  PageNames names_;
  std::map<std::vector<std::size_t>, std::size_t> by_route_;
  std::map<std::size_t, std::size_t> positions_;
  std::map<std::string, std::string> tree_images_;
  std::map<std::string, bool> copied_;
  std::set<std::string> missing_;
};

// Moves the finished export into place: OUT missing, empty, or an earlier
// export (moved aside first, removed last, so that a failure leaves the
// earlier export where it was).
void PutInPlace(const fs::path& staging, const fs::path& out) {
  std::error_code error;
  if (fs::exists(out, error)) {
    const fs::path aside = MakeFolder(out.string() + ".old-");
    if (aside.empty()) throw fs::filesystem_error("cannot make a folder beside", out, std::make_error_code(std::errc::io_error));
    fs::remove(aside);
    fs::rename(out, aside);
    try {
      fs::rename(staging, out);
    } catch (const fs::filesystem_error&) {
      fs::rename(aside, out);
      throw;
    }
    fs::remove_all(aside, error);
    return;
  }
  fs::rename(staging, out);
}

}  // namespace

std::string MomentText(Date moment) {
  const DateParts parts = SplitDate(moment);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.year, parts.month,
                parts.day, parts.hour, parts.minute, parts.second);
  return text;
}

std::optional<std::string> RefusesOut(const fs::path& out) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(out, error);
  if (!fs::exists(status)) {
    const fs::path parent = fs::absolute(out, error).parent_path();
    if (!fs::is_directory(parent, error)) return "the folder " + parent.string() + " does not exist";
    return std::nullopt;
  }
  if (!fs::is_directory(status)) return out.string() + " is not a folder";
  if (fs::is_empty(out, error) || fs::is_regular_file(out / kExportMark, error)) return std::nullopt;
  return out.string() +
         " holds files that are not an earlier export; choose an empty or new folder (nothing was "
         "changed)";
}

ExportResult ExportSite(const ExportOptions& options,
                        const std::function<void(const ExportProgress&)>& progress) {
  ExportResult failed;
  if (auto refused = RefusesOut(options.out)) {
    failed.failure = *refused;
    return failed;
  }
  const fs::path out = fs::absolute(options.out).lexically_normal();
  const fs::path base = out.has_filename() ? out : out.parent_path();
  TemporaryFolder staging(base.string() + ".partial-");
  TemporaryFolder work(fs::temp_directory_path() / "zarel-export-");
  if (staging.Path().empty() || work.Path().empty()) {
    failed.failure = "cannot make a temporary folder beside " + base.string();
    return failed;
  }

  crawl::CrawlOptions crawl_options;
  crawl_options.connection = options.connection;
  crawl_options.folder = work.Path().string();
  crawl_options.display = options.display;
  crawl_options.max_nodes = options.max_nodes;
  crawl_options.max_depth = options.max_depth;
  try {
    Exporter exporter(options, staging.Path(), work.Path(), progress);
    const crawl::CrawlSummary summary = crawl::CrawlSite(crawl_options, exporter);
    if (summary.connection_failure) {
      failed.failure = "cannot open the report database: " + *summary.connection_failure;
      return failed;
    }
    ExportResult result = std::move(exporter.Result());
    result.left_unopened = summary.left_unopened;
    result.lost = summary.lost;
    WriteFile(staging.Path() / "index.html", IndexHtml(result.nodes, options.exported_at));
    for (const IndexFile& file : IndexFiles()) WriteFile(staging.Path() / file.name, file.content);
    WriteFile(staging.Path() / kExportMark,
              "A static export of a Zarel report site; zarel export replaces this folder.\n");
    fs::permissions(staging.Path(), fs::perms::owner_all | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read |
                                        fs::perms::others_exec);
    PutInPlace(staging.Path(), base);
    staging.Keep();
    return result;
  } catch (const fs::filesystem_error& error) {
    failed.failure = std::string("cannot write the export: ") + error.what();
    return failed;
  }
}

std::vector<std::size_t> TreeOrder(const std::vector<ExportedNode>& nodes) {
  std::vector<std::size_t> order;
  if (nodes.empty()) return order;
  std::vector<std::size_t> stack{0};
  while (!stack.empty()) {
    const std::size_t index = stack.back();
    stack.pop_back();
    order.push_back(index);
    const auto& children = nodes[index].children;
    for (auto child = children.rbegin(); child != children.rend(); ++child) stack.push_back(*child);
  }
  return order;
}

}  // namespace zarel::site_export
