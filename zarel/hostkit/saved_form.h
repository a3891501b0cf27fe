// SavedForm: a host's form as it is stored on disk, and its text file.
//
// A saved form lists, per control on the form, its class, its name and the
// properties it stored in its PropertyBag. The file is plain text:
//
//   ZarelForm 1
//   Begin Zarel Zarel1
//     ActivePort = 80
//   End
//
// The first line names the format and its version. Each control is a block
// from "Begin CLASS NAME" to "End"; inside it one "Name = value" line per
// stored property, the value a whole number (-123) or a double-quoted text
// ("a \"b\" \\ c", with \" \\ \n \r \t escapes). Class, control and property
// names are words of letters, digits and "_" starting with a letter. Blank
// lines and lines starting with "'" (comments) are ignored; indentation is
// free; lines end in LF or CRLF.
//
// Reading checks everything and raises RuntimeError 321 "Invalid file
// format" with the file, the line number and what is wrong; a missing file
// raises 53, an unreadable one 75. Writing goes to a new file beside the
// target (".NAME.zarel-new") that is renamed over it only when it is complete
// and on the disk, so a failed or killed write leaves the old form as it
// was, and the next write takes over a temporary file a killed one left.
//
// Threads: SavedForm is a value; reading and writing form files keep no
// state and may run on several threads at once for different files.
#ifndef ZAREL_HOSTKIT_SAVED_FORM_H_
#define ZAREL_HOSTKIT_SAVED_FORM_H_

#include <string>
#include <string_view>
#include <vector>

#include "zarel/hostkit/property_bag.h"

namespace zarel {

// Whether text is a name as forms store them (classes, controls and
// properties): a letter, then letters, digits and underscores.
bool IsFormName(std::string_view text);

struct SavedControl {
  std::string class_name;
  std::string name;
  PropertyBag properties;
};

struct SavedForm {
  std::vector<SavedControl> controls;
};

// Parses the text of a saved form; source names it in error messages.
SavedForm ParseSavedForm(std::string_view text, const std::string& source);

// The text of a saved form. Raises 13 for a property value that the format
// cannot hold (anything but a whole number or a text) and 5 for a bad name.
std::string FormatSavedForm(const SavedForm& form);

// Reads and parses the form file at path.
SavedForm ReadSavedForm(const std::string& path);

// Writes the form file at path, replacing an earlier one only when the new
// file is complete (a symbolic link keeps leading to the new file), and
// syncs the file and its folder. Raises 75 ("Cannot write the form file
// PATH: Disk full") when it cannot.
void WriteSavedForm(const std::string& path, const SavedForm& form);

}  // namespace zarel

#endif  // ZAREL_HOSTKIT_SAVED_FORM_H_
