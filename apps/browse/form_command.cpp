// zarel form: the Zarel control's design-time command (see form_command.h).
#include "apps/browse/form_command.h"

#include <filesystem>
#include <memory>

#include "zarel/base/error.h"
#include "zarel/control/ppage1.h"
#include "zarel/control/zarel.h"
#include "zarel/hostkit/control_container.h"

namespace zarel {

namespace {

constexpr int kCompleted = 0;
constexpr int kRunFailure = 1;

// The name of the control that a new form holds.
constexpr const char* kControlName = "Zarel1";

constexpr const char* kFormFooter = R"(The page prints as:
  Zarel Properties
  ActivePort: TEXT
where TEXT is what the page's text box holds.

A form file is plain text: a "ZarelForm 1" line, then one block per control,
"Begin CLASS NAME", a "Name = value" line per stored property, "End". A
property equal to its default (ActivePort 0) is not stored.

Exit status: 0 on success; 1 when the form cannot be read or written, holds
no Zarel control, already exists (--new), or the control refuses TEXT (the
form file then stays as it was); 2 for a usage error.

Example:
  zarel form site.form --new
  zarel form site.form --apply 80)";

void PrintPage(const pPage1& page, std::ostream& out) {
  out << page.Caption() << "\n" << page.lblActivePort.Caption() << " " << page.txtActivePort.Text()
      << "\n";
}

int CreateForm(const FormOptions& options, std::ostream& err) {
  std::error_code error;
  if (std::filesystem::symlink_status(options.file, error).type() !=
      std::filesystem::file_type::not_found) {
    err << "zarel: the form file " << options.file << " already exists\n";
    return kRunFailure;
  }
  ControlContainer form(ControlContainer::Mode::kDesign);
  form.Place(kControlName, std::make_shared<Zarel>());
  form.SaveTo(options.file);
  return kCompleted;
}

int EditForm(const FormOptions& options, std::ostream& out, std::ostream& err) {
  ControlContainer form(ControlContainer::Mode::kDesign);
  form.LoadFrom(options.file, ZarelControlFactory);
  std::shared_ptr<Zarel> control = FirstZarel(form);
  if (!control) {
    err << "zarel: the form file " << options.file << " holds no Zarel control\n";
    return kRunFailure;
  }

  pPage1 page;
  page.SelectControls({control});
  PrintPage(page, out);
  if (!options.apply) return kCompleted;

  page.txtActivePort.Type(*options.apply);
  try {
    page.Apply();
  } catch (const RuntimeError& error) {
    out.flush();
    err << "zarel: " << ErrorText("the control refused ActivePort \"" + *options.apply + "\": ", error)
        << "\n";
    return kRunFailure;
  }
  form.SaveTo(options.file);
  page.SelectControls({control});
  PrintPage(page, out);
  return kCompleted;
}

}  // namespace

CLI::App* AddFormCommand(CLI::App& app, FormOptions& options) {
  CLI::App* command = app.add_subcommand(
      "form",
      "Edit the Zarel control of a saved form at design time through its property page: "
      "create the form, show the page, or apply a new ActivePort.");
  command->footer(kFormFooter);
  command->add_option("FILE", options.file, "The saved form file")->required();
  CLI::Option* create =
      command->add_flag("--new", options.create, "Write a new form holding one freshly placed control");
  command
      ->add_option("--apply", options.apply,
                   "Type TEXT into the page's ActivePort box, apply it and save the form")
      ->type_name("TEXT")
      ->excludes(create);
  return command;
}

int RunForm(const FormOptions& options, std::ostream& out, std::ostream& err) {
  try {
    if (options.create) return CreateForm(options, err);
    return EditForm(options, out, err);
  } catch (const RuntimeError& error) {
    out.flush();
    err << "zarel: " << error.Description() << "\n";
    return kRunFailure;
  }
}

}  // namespace zarel
