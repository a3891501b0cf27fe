// zarel new: a starter site that a new author grows into their own.
//
//   zarel new DIR [--title TEXT]
//
// DIR (created when missing) receives site.db, a SQLite report database with
// the site tables XNav, XWeb, XScr and XProc holding a root node, one page
// ("Getting started", whose component shows how a page is made), the front
// page and the page head (a style sheet for every class the pages use and
// the script the expandable shape reports need); and site/, the
// application folder with the pictures the pages name (circle.gif, cbg.gif,
// cbr.gif, plus.gif, minus.gif). Where DIR already holds a site (a
// non-empty site.db, or a site/ folder with anything in it) the command
// refuses and changes nothing.
#ifndef ZAREL_APPS_NEWSITE_NEW_COMMAND_H_
#define ZAREL_APPS_NEWSITE_NEW_COMMAND_H_

#include <CLI/CLI.hpp>

#include <ostream>
#include <string>

namespace zarel {

struct NewOptions {
  std::string folder;
  std::string title = "My Site";
};

// What CreateNewSite made.
struct NewSite {
  std::string database;            // DIR/site.db
  std::string application_folder;  // DIR/site
};

// Creates the starter site as above; raises RuntimeError 75 with the reason
// when the folder already holds a site or cannot be written.
NewSite CreateNewSite(const std::string& folder, const std::string& title);

CLI::App* AddNewCommand(CLI::App& app, NewOptions& options);

// Runs a parsed new command; answers the exit status (0 created, 1 not).
int RunNew(const NewOptions& options, std::ostream& out, std::ostream& err);

}  // namespace zarel

#endif  // ZAREL_APPS_NEWSITE_NEW_COMMAND_H_
