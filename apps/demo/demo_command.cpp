// zarel demo (see demo_command.h): checks the folder, writes the database
// to a temporary file, writes the application folder, and links the
// database into place without ever replacing an existing one.
#include "apps/demo/demo_command.h"

#include <filesystem>

#include "apps/demo/demo_database.h"
#include "apps/demo/demo_pictures.h"
#include "apps/demo/demo_postgres.h"
#include "apps/demo/demo_site.h"
#include "apps/sitekit/site_files.h"
#include "zarel/base/error.h"

namespace zarel {

namespace {

namespace fs = std::filesystem;

using sitekit::ClaimDatabasePath;
using sitekit::EnsureFolder;
using sitekit::FailAccess;
using sitekit::ShellWord;
using sitekit::TemporaryDatabase;
using sitekit::WriteFile;

constexpr int kCreated = 0;
constexpr int kFailed = 1;

bool StartsWithSqlite(const std::string& connection) { return connection.rfind("sqlite:", 0) == 0; }

}  // namespace

DemoSite CreateDemoSite(const std::string& folder, const std::optional<std::string>& postgres) {
  if (folder.empty()) FailAccess("the folder name is empty");
  const fs::path root(folder);
  EnsureFolder(root);
  const fs::path database = root / "demo.db";
  if (!postgres) ClaimDatabasePath(database);

  TemporaryDatabase temporary(root, "demo.db");
  const demo::DatabaseSummary summary = demo::WriteDemoDatabase(temporary.Path());
  // On PostgreSQL the database is placed first: refused there, nothing is
  // written into the folder.
  if (postgres) demo::PlaceDemoInPostgres(temporary.Path(), *postgres);

  const fs::path site = root / "site";
  EnsureFolder(site);
  const std::vector<demo::PictureFile> images = sitekit::PageImages();
  for (const demo::PictureFile& image : images) WriteFile(site / image.name, image.bytes);
  for (const demo::PictureFile& picture : summary.product_pictures) {
    if (fs::path(picture.name).filename() != picture.name) FailAccess("bad picture name '" + picture.name + "'");
    WriteFile(site / picture.name, picture.bytes);
  }
  if (!postgres) temporary.MoveTo(database);

  DemoSite made;
  made.database = postgres ? *postgres : database.string();
  made.connection = postgres ? *postgres : "sqlite:" + database.string();
  made.application_folder = site.string();
  made.tables = summary.tables;
  made.rows = summary.rows;
  made.page_images = static_cast<int>(images.size());
  made.product_pictures = static_cast<int>(summary.product_pictures.size());
  return made;
}

std::string DemoBrowseCommand(const DemoSite& site) {
  return "zarel browse " + ShellWord(site.connection) + " --folder " +
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
      "With --connection the report database goes into that PostgreSQL database instead (in one\n"
      "transaction; refused, changing nothing, when it already holds a table of the demo's names),\n"
      "and DIR receives only site/.\n\n"
      "Exit status: 0 when the site was created, 1 when it could not be, 2 for a usage error.");
  demo->add_option("DIR", options.folder, "Folder to create the demo site in")->required();
  demo->add_option("--connection", options.connection,
                   "Place the report database into this PostgreSQL database instead (postgresql://... "
                   "or libpq key=value); DIR then receives only site/")
      ->type_name("CONNECTION");
  return demo;
}

int RunDemo(const DemoOptions& options, std::ostream& out, std::ostream& err) {
  DemoSite site;
  try {
    if (options.connection && StartsWithSqlite(*options.connection)) {
      err << "zarel: --connection takes a PostgreSQL database; without it the demo is a SQLite file\n";
      return kFailed;
    }
    site = CreateDemoSite(options.folder, options.connection);
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
