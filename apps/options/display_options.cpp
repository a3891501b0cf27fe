// The hosts' display and data settings (see display_options.h).
#include "apps/options/display_options.h"

#include "zarel/base/variant.h"

namespace zarel {

void AddDisplayOptions(CLI::App& command, DisplayOptions& options) {
  command.add_flag("--talking", options.talking, "Report failures as messages (Talking)");
  command.add_flag("--display-path", options.display_path,
                   "Write the node's path at the foot of every page (DisplayPath)");
  command.add_option("--heading", options.heading, "Heading of every report page (HTML)");
  command.add_option("--date-format", options.date_format,
                     "Pattern of date values on the pages (DateFormat), e.g. \"dd Mmm yyyy\"");
  command.add_option("--role", options.role, "User role tested against node role lists");
  command.add_option("--damode", options.damode,
                     "Data access mode: 1 the control reads the database itself (default); 2 the "
                     "host answers each query (zarel browse prints them as \"provide:\" lines)");
}

void ApplyDisplayOptions(Zarel& control, const DisplayOptions& options) {
  control.DAMode(options.damode);
  control.Talking(options.talking);
  control.DisplayPath(options.display_path);
  if (options.heading) control.Heading(Variant(*options.heading));
  if (options.date_format) control.DateFormat(*options.date_format);
  if (options.role) control.UserRole(Variant(*options.role));
}

}  // namespace zarel
