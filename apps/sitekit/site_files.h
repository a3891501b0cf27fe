// Writing a new site's files safely, for the programs that create sites
// (zarel demo, zarel new): folders made when missing, a database written to
// a temporary file and linked into place without ever replacing an existing
// one, and the words of the commands they print, quoted for a shell.
// Failures raise RuntimeError 75 "Path/File access error" with the reason.
#ifndef ZAREL_APPS_SITEKIT_SITE_FILES_H_
#define ZAREL_APPS_SITEKIT_SITE_FILES_H_

#include <filesystem>
#include <string>

namespace zarel::sitekit {

[[noreturn]] void FailAccess(const std::string& what);

// Creates folder (and its parents) unless it is a folder already.
void EnsureFolder(const std::filesystem::path& folder);

// Refuses a database file that exists and holds anything; removes an empty
// one, which the new database then takes the place of.
void ClaimDatabasePath(const std::filesystem::path& database);

// Writes the bytes as the file's whole content.
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// A word quoted for a POSIX shell when it needs it.
std::string ShellWord(const std::string& word);

// A temporary file beside the database (".NAME.XXXXXX" in folder), removed
// when the object goes unless it was moved into place.
class TemporaryDatabase {
 public:
  TemporaryDatabase(const std::filesystem::path& folder, const std::string& name);
  ~TemporaryDatabase();
  TemporaryDatabase(const TemporaryDatabase&) = delete;
  TemporaryDatabase& operator=(const TemporaryDatabase&) = delete;

  const std::string& Path() const { return path_; }

  // Gives the file the name database, failing when that name is taken:
  // neither a hard link nor a rename without replacement ever replaces an
  // existing file (the rename serves file systems without hard links).
  void MoveTo(const std::filesystem::path& database);

 private:
  int Place(const std::filesystem::path& database);
  std::string path_;
};

}  // namespace zarel::sitekit

#endif  // ZAREL_APPS_SITEKIT_SITE_FILES_H_
