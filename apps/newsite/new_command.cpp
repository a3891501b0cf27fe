// zarel new (see new_command.h): the starter site's tables and screens, and
// the command that writes them.
#include "apps/newsite/new_command.h"

#include <filesystem>

#include "apps/sitekit/site_files.h"
#include "apps/sitekit/site_pictures.h"
#include "apps/sitekit/site_screens.h"
#include "zarel/base/error.h"
#include "zarel/db/connection.h"
#include "zarel/db/database_driver.h"

namespace zarel {

namespace {

namespace fs = std::filesystem;

constexpr int kCreated = 0;
constexpr int kFailed = 1;

// The site tables with the columns the engine reads, in their order.
constexpr const char* kSchema[] = {
    "CREATE TABLE XNav (ID INTEGER PRIMARY KEY, Caption TEXT, Kind TEXT, ParentID INTEGER, "
    "ProcName TEXT, Param TEXT, Image INTEGER, Roles TEXT)",
    "CREATE TABLE XWeb (CompID INTEGER PRIMARY KEY, NodeID INTEGER, Pos INTEGER, Caption TEXT, "
    "ProcName TEXT, Param TEXT, CompType TEXT, Opt1 TEXT, Opt2 TEXT)",
    "CREATE TABLE XScr (ID INTEGER PRIMARY KEY, Name TEXT, Html TEXT)",
    "CREATE TABLE XProc (Name TEXT PRIMARY KEY, Body TEXT)",
};

// What the one page shows: how to grow the site.
constexpr const char* kGettingStarted =
    "SELECT '<div class=start><p>This page is the component row 1 of <b>XWeb</b>: an "
    "<i>htmlinject</i> component whose procedure <b>GettingStarted</b> (a row of <b>XProc</b>) "
    "returns this text.</p><p>To grow the site, add tables of your own data, a procedure in XProc "
    "for each list or record to show, a row in <b>XNav</b> for each node of the tree and rows in "
    "XWeb for the components of each page. Then run <code>zarel check</code> on the database.</p>"
    "</div>' AS Welcome";

std::string PageHead(const std::string& title) {
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
         "</title>\n<style>\n" + std::string(sitekit::PageStyleSheet()) +
         ".start{background:#f5f8fb;border-left:4px solid #2c6e9b;padding:8px 16px}\n"
         "</style>\n<script>\n" + std::string(sitekit::ShapeScript()) +
         "</script>\n</head><body><div class=page>";
}

std::string FrontPage(const std::string& title) {
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
         "</title>\n<style>\n" + std::string(sitekit::PageStyleSheet()) +
         "</style>\n</head><body><div class=page><h1>" + title +
         "</h1><p>Choose a page in the tree.</p></div></body></html>";
}

void WriteStarterDatabase(const std::string& path, const std::string& title) {
  auto connection = Connection::Create();
  connection->Open("sqlite:" + path);
  connection->BeginTrans();
  DatabaseDriver& driver = connection->Driver();
  for (const char* statement : kSchema) driver.Run(statement, {}, false);
  driver.Run("INSERT INTO XNav VALUES (1, ?1, 'fixed', 0, NULL, NULL, NULL, NULL)", {Variant(title)}, false);
  driver.Run("INSERT INTO XNav VALUES (2, 'Getting started', 'leaf', 1, NULL, NULL, NULL, NULL)", {}, false);
  driver.Run("INSERT INTO XWeb VALUES (1, 2, 1, 'Getting started', 'GettingStarted', NULL, 'htmlinject', "
             "NULL, NULL)",
             {}, false);
  driver.Run("INSERT INTO XProc VALUES ('GettingStarted', ?1)", {Variant(std::string(kGettingStarted))}, false);
  driver.Run("INSERT INTO XScr VALUES (1, 'front page', ?1)", {Variant(FrontPage(title))}, false);
  driver.Run("INSERT INTO XScr VALUES (2, 'page head', ?1)", {Variant(PageHead(title))}, false);
  connection->CommitTrans();
  connection->Close();
}

// A site/ folder that holds anything is a site's folder.
void ClaimSiteFolder(const fs::path& site) {
  std::error_code error;
  if (!fs::exists(fs::symlink_status(site, error))) return;
  if (fs::is_directory(site, error) && fs::is_empty(site, error) && !error) return;
  sitekit::FailAccess("'" + site.string() + "' already holds a site's folder; remove it or choose another folder");
}

}  // namespace

NewSite CreateNewSite(const std::string& folder, const std::string& title) {
  if (folder.empty()) sitekit::FailAccess("the folder name is empty");
  const fs::path root(folder);
  const fs::path database = root / "site.db";
  const fs::path site = root / "site";
  // Everything is refused before anything is written.
  {
    std::error_code error;
    if (fs::exists(root, error) && !fs::is_directory(root, error)) {
      sitekit::FailAccess("'" + folder + "' exists and is not a folder");
    }
    const fs::file_status status = fs::symlink_status(database, error);
    if (fs::exists(status) && !(fs::is_regular_file(status) && fs::file_size(database, error) == 0)) {
      sitekit::FailAccess("'" + database.string() + "' already exists; remove it or choose another folder");
    }
    ClaimSiteFolder(site);
  }
  sitekit::EnsureFolder(root);
  sitekit::ClaimDatabasePath(database);
  sitekit::TemporaryDatabase temporary(root, "site.db");
  WriteStarterDatabase(temporary.Path(), title);
  sitekit::EnsureFolder(site);
  for (const sitekit::PictureFile& picture : sitekit::PageImages()) {
    sitekit::WriteFile(site / picture.name, picture.bytes);
  }
  temporary.MoveTo(database);
  return NewSite{database.string(), site.string()};
}

CLI::App* AddNewCommand(CLI::App& app, NewOptions& options) {
  CLI::App* command = app.add_subcommand(
      "new", "Create a starter site to grow into your own: its report database and application folder.");
  command->footer(
      "DIR (created when missing) receives site.db, the SQLite report database with the site tables\n"
      "XNav, XWeb, XScr and XProc (a root node, one page, the front page and the page head with its\n"
      "style sheet and script), and site/, the application folder with the pictures the pages name.\n"
      "Where DIR already holds a site the command changes nothing.\n\n"
      "Exit status: 0 when the site was created, 1 when it was not, 2 for a usage error.");
  command->add_option("DIR", options.folder, "Folder to create the site in")->required();
  command->add_option("--title", options.title, "The site's title, the text of the tree's root (default My Site)");
  return command;
}

int RunNew(const NewOptions& options, std::ostream& out, std::ostream& err) {
  NewSite site;
  try {
    site = CreateNewSite(options.folder, options.title);
  } catch (...) {
    err << "zarel: " << CurrentError().Description() << "\n";
    return kFailed;
  }
  const std::string connection = sitekit::ShellWord("sqlite:" + site.database);
  const std::string folder = sitekit::ShellWord(site.application_folder);
  out << "Created a new site in " << options.folder << ":\n"
      << "  " << site.database << "  the report database (XNav, XWeb, XScr, XProc)\n"
      << "  " << site.application_folder << "/  the application folder, with the pictures the pages name\n"
      << "Open its page:\n"
      << "  zarel browse " << connection << " --folder " << folder << " --talking --click "
      << sitekit::ShellWord(options.title + "\\Getting started") << "\n"
      << "Serve it:  zarel serve " << connection << " --site " << folder << "\n"
      << "Check it:  zarel check " << connection << " --folder " << folder << " --crawl\n";
  return kCreated;
}

}  // namespace zarel
