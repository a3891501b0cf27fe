// file: addresses for local paths and back: the one place that says how a
// path is written in an address the browser is given or puts in a link.
#ifndef ZAREL_APPS_PDF_FILE_ADDRESS_H_
#define ZAREL_APPS_PDF_FILE_ADDRESS_H_

#include <filesystem>
#include <optional>
#include <string>

namespace zarel::pdf {

// "file://" and the absolute path, every byte outside the unreserved set and
// "/" percent-encoded (spaces, "#", "?", "%" and UTF-8 names included).
std::string FileAddress(const std::filesystem::path& absolute);

// The path a file: address names (its query and fragment left out,
// percent-encoding undone, "." and ".." resolved), or nothing for another
// kind of address.
std::optional<std::filesystem::path> PathOfAddress(const std::string& address);

// What follows "#" in an address, percent-encoding undone; empty when none.
std::string FragmentOfAddress(const std::string& address);

}  // namespace zarel::pdf

#endif  // ZAREL_APPS_PDF_FILE_ADDRESS_H_
