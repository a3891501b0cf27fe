// Writing a new site's files safely (see site_files.h).
#include "apps/sitekit/site_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "zarel/base/error.h"

namespace zarel::sitekit {

namespace fs = std::filesystem;

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

TemporaryDatabase::TemporaryDatabase(const fs::path& folder, const std::string& name) {
  std::string pattern = (folder / ("." + name + ".XXXXXX")).string();
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

TemporaryDatabase::~TemporaryDatabase() {
  if (!path_.empty()) ::unlink(path_.c_str());
}

void TemporaryDatabase::MoveTo(const fs::path& database) {
  int moved = Place(database);
  if (moved != 0 && errno == EEXIST) {
    // Taken since the start: refused unless it is an empty file.
    ClaimDatabasePath(database);
    moved = Place(database);
  }
  if (moved != 0) FailAccess("cannot create '" + database.string() + "': " + std::strerror(errno));
  path_.clear();
}

int TemporaryDatabase::Place(const fs::path& database) {
  if (::link(path_.c_str(), database.c_str()) == 0) {
    ::unlink(path_.c_str());
    return 0;
  }
  if (errno == EEXIST) return -1;
  return ::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, database.c_str(), RENAME_NOREPLACE);
}

}  // namespace zarel::sitekit
