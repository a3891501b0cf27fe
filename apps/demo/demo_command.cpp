// zarel demo (see demo_command.h): checks the folder, writes the database
// to a temporary file, writes the application folder, and links the
// database into place without ever replacing an existing one.
#include "apps/demo/demo_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "apps/demo/demo_database.h"
#include "apps/demo/demo_pictures.h"
#include "apps/demo/demo_site.h"
#include "zarel/base/error.h"

namespace zarel {

namespace {

namespace fs = std::filesystem;

constexpr int kCreated = 0;
constexpr int kFailed = 1;

[[noreturn]] void FailAccess(const std::string& what) { Raise(errc::kPathFileAccessError, what); }

// Creates folder (and its parents) unless it is a folder already.
void EnsureFolder(const fs::path& folder) {
  std::error_code error;
  if (fs::is_directory(folder, error)) return;
  if (fs::exists(folder, error)) FailAccess("'" + folder.string() + "' exists and is not a folder");
  if (!fs::create_directories(folder, error) && error) {
    FailAccess("cannot create the folder '" + folder.string() + "': " + error.message());
  }
}

// Refuses a database file that exists and holds anything; removes an empty
// one, which the new database then takes the place of.
void ClaimDatabasePath(const fs::path& database) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(database, error);
  if (!fs::exists(status)) return;
  if (fs::is_regular_file(status) && fs::file_size(database, error) == 0 && !error) {
    fs::remove(database, error);
    if (!error) return;
  }
  FailAccess("'" + database.string() + "' already exists; remove it or choose another folder");
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) FailAccess("cannot write '" + path.string() + "': " + std::strerror(errno));
}

// A temporary file beside the database, removed when the object goes
// unless it was moved into place.
class TemporaryDatabase {
 public:
  explicit TemporaryDatabase(const fs::path& folder) {
    std::string pattern = (folder / ".demo.db.XXXXXX").string();
    const int descriptor = ::mkstemp(pattern.data());
    if (descriptor < 0) {
      FailAccess("cannot write in the folder '" + folder.string() + "': " + std::strerror(errno));
    }
    // mkstemp makes the file private; the database gets the permissions of
    // any new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(descriptor, 0666 & ~mask);
    ::close(descriptor);
    path_ = pattern;
  }
  ~TemporaryDatabase() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryDatabase(const TemporaryDatabase&) = delete;
  TemporaryDatabase& operator=(const TemporaryDatabase&) = delete;

  const std::string& Path() const { return path_; }

  // Gives the file the name database, failing when that name is taken:
  // neither a hard link nor a rename without replacement ever replaces an
  // existing file (the rename serves file systems without hard links).
  void MoveTo(const fs::path& database) {
    int moved = Place(database);
    if (moved != 0 && errno == EEXIST) {
      // Taken since the start: refused unless it is an empty file.
      ClaimDatabasePath(database);
      moved = Place(database);
    }
    if (moved != 0) FailAccess("cannot create '" + database.string() + "': " + std::strerror(errno));
    path_.clear();
  }

 private:
  int Place(const fs::path& database) {
    if (::link(path_.c_str(), database.c_str()) == 0) {
      ::unlink(path_.c_str());
      return 0;
    }
    if (errno == EEXIST) return -1;
    return ::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, database.c_str(), RENAME_NOREPLACE);
  }

  std::string path_;
};

// A word quoted for a POSIX shell when it needs it.
std::string ShellWord(const std::string& word) {
  if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789/._-:+=,@") == std::string::npos) {
    return word;
  }
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

DemoSite CreateDemoSite(const std::string& folder) {
  if (folder.empty()) FailAccess("the folder name is empty");
  const fs::path root(folder);
  EnsureFolder(root);
  const fs::path database = root / "demo.db";
  ClaimDatabasePath(database);

  TemporaryDatabase temporary(root);
  const demo::DatabaseSummary summary = demo::WriteDemoDatabase(temporary.Path());

  const fs::path site = root / "site";
  EnsureFolder(site);
  const std::vector<demo::PictureFile> images = sitekit::PageImages();
  for (const demo::PictureFile& image : images) WriteFile(site / image.name, image.bytes);
  for (const demo::PictureFile& picture : summary.product_pictures) {
    if (fs::path(picture.name).filename() != picture.name) FailAccess("bad picture name '" + picture.name + "'");
    WriteFile(site / picture.name, picture.bytes);
  }
  temporary.MoveTo(database);

  DemoSite made;
  made.database = database.string();
  made.application_folder = site.string();
  made.tables = summary.tables;
  made.rows = summary.rows;
  made.page_images = static_cast<int>(images.size());
  made.product_pictures = static_cast<int>(summary.product_pictures.size());
  return made;
}

std::string DemoBrowseCommand(const DemoSite& site) {
  return "zarel browse " + ShellWord("sqlite:" + site.database) + " --folder " +
         ShellWord(site.application_folder) + " --talking --date-format 'dd Mmm yyyy' --heading " +
         ShellWord(std::string(demo::kSiteTitle)) + " --click " +
         ShellWord(std::string(demo::kSiteTitle) + "\\Dashboard") + " --tree";
}

CLI::App* AddDemoCommand(CLI::App& app, DemoOptions& options) {
  CLI::App* demo = app.add_subcommand(
      "demo",
      "Create the demo site: the report database and application folder of a small sales "
      "company, ready to open with zarel browse.");
  demo->footer(
      "DIR (created when missing) receives demo.db, the SQLite report database, and site/, the\n"
      "application folder with the page images and product pictures. An existing, non-empty\n"
      "DIR/demo.db is never replaced: the command then fails with status 1.\n\n"
      "Exit status: 0 when the site was created, 1 when it could not be, 2 for a usage error.");
  demo->add_option("DIR", options.folder, "Folder to create the demo site in")->required();
  return demo;
}

int RunDemo(const DemoOptions& options, std::ostream& out, std::ostream& err) {
  DemoSite site;
  try {
    site = CreateDemoSite(options.folder);
  } catch (...) {
    err << "zarel: " << CurrentError().Description() << "\n";
    return kFailed;
  }
  out << "Created the demo site of " << demo::kSiteTitle << " in " << options.folder << ":\n"
      << "  " << site.database << "  the report database: " << site.tables << " tables, " << site.rows
      << " rows\n"
      << "  " << site.application_folder << "/  the application folder: " << site.page_images
      << " page images, " << site.product_pictures << " product pictures\n"
      << "Open it and show the dashboard with:\n"
      << "  " << DemoBrowseCommand(site) << "\n"
      << "then open " << site.application_folder << "/oReport.htm in a web browser. Nodes are "
      << "clicked by their path, e.g. --click '" << demo::kSiteTitle << "\\Regions\\North'.\n";
  return kCreated;
}

}  // namespace zarel
