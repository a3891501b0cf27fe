// zarel form: the design-time command. It edits the Zarel control of a saved
// form through the control's property page, as a design environment would.
//
//   zarel form FILE --new           write a new form holding one freshly
//                                   placed control (FILE must not exist)
//   zarel form FILE                 load the form in design mode, open the
//                                   property page on its first Zarel control
//                                   and print the page
//   zarel form FILE --apply TEXT    as above, then type TEXT into the page's
//                                   text box, apply, save the form, and print
//                                   the page again, opened afresh on the
//                                   control
//
// The page prints as two lines: "Zarel Properties", then "ActivePort: " and
// the text box's text. Exit status 0 on success; 1 when the form cannot be
// read or written, holds no Zarel control, already exists (--new), or the
// control refuses TEXT (the error goes to standard error and the form file
// stays as it was); 2 for a usage error.
#ifndef ZAREL_APPS_BROWSE_FORM_COMMAND_H_
#define ZAREL_APPS_BROWSE_FORM_COMMAND_H_

#include <CLI/CLI.hpp>

#include <optional>
#include <ostream>
#include <string>

namespace zarel {

struct FormOptions {
  std::string file;
  bool create = false;
  std::optional<std::string> apply;
};

// Adds the "form" subcommand, filling options when it is parsed.
CLI::App* AddFormCommand(CLI::App& app, FormOptions& options);

// Runs a parsed form command; answers the exit status.
int RunForm(const FormOptions& options, std::ostream& out, std::ostream& err);

}  // namespace zarel

#endif  // ZAREL_APPS_BROWSE_FORM_COMMAND_H_
