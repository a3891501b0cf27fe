// The file system seam: every file the system writes (the report page, the
// front page, picture files, saved forms) is written through a FileSystem,
// and every such file is written beside its target and put in its place
// only when it is complete (ReplacementFile).
//
// FileSystem::Current() is the machine's own file system (POSIX) unless a
// ScopedFileSystem has put another in its place: tests put one there that
// fails on purpose (a full disk, an I/O error, a failing rename; see
// zarel/testing/faulty_file_system.h) and check that nothing half-written is
// shown or kept.
//
// Failures raise the platform's numbered errors, with the path in the
// description ("Disk full: /srv/site/oReport.htm"): 76 "Path not found" for
// a folder that does not exist, 61 "Disk full" (also a full quota), 57
// "Device I/O error", 75 "Path/File access error" for everything else (no
// permission, a folder where a file should be, a read-only file system), 52
// "Bad file name or number" for an empty path.
//
// Threads: the POSIX file system and ReplacementFile's statics may be used
// from any thread at once. A WritableFile or ReplacementFile is used by one
// thread at a time. ScopedFileSystem changes what every thread sees: make
// one only while no other thread writes files (a test's own setup).
#ifndef ZAREL_BASE_FILE_SYSTEM_H_
#define ZAREL_BASE_FILE_SYSTEM_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "zarel/base/error.h"

namespace zarel {

// Raises the platform's numbered error for a system call on path that failed
// with error_number (an errno value), as described above.
[[noreturn]] void RaiseFileError(int error_number, const std::string& path);

// A file open for writing. Append hands the data to the system at once; the
// callers gather their text and hand it over in large pieces.
class WritableFile {
 public:
  virtual ~WritableFile() = default;  // closes a file still open; errors are lost
  virtual void Append(std::string_view data) = 0;
  // Waits until what was appended is on the disk.
  virtual void Sync() = 0;
  virtual void Close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens path for writing, emptied, or created with the given permission
  // bits (the usual 0666 less the umask when none are given). While the file
  // is open, no other writer opens the same path through this call: the
  // second waits until the first has closed it.
  virtual std::unique_ptr<WritableFile> NewWritableFile(const std::string& path,
                                                        std::optional<unsigned> permissions) = 0;
  // Puts the file from in the place of to, replacing a file there.
  virtual void RenameFile(const std::string& from, const std::string& to) = 0;
  // Removes a file; one that is not there is no error.
  virtual void RemoveFile(const std::string& path) = 0;
  // Waits until the folder's entries (a rename into it) are on the disk.
  virtual void SyncFolder(const std::string& path) = 0;

  // The one in use: the POSIX file system, or what a ScopedFileSystem put in
  // its place.
  static FileSystem& Current();
  static FileSystem& Posix();
};

// Puts a file system in the place of the current one for its lifetime.
class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem& file_system);
  ~ScopedFileSystem();
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

 private:
  FileSystem* previous_;
};

// How far Commit goes: kVisible makes the new file the one every reader
// sees; kDurable also waits until it, and its name, are on the disk, so a
// power cut right after does not lose it.
enum class Durability { kVisible, kDurable };

// A new version of the file at a path. It is written under a fixed name
// beside the target (TemporaryPathOf) and renamed over the target by
// Commit, so a reader sees the old file or the whole new one, never a part.
// A ReplacementFile that goes without a successful Commit (a failure on the
// way, an exception, a failed write) removes what it wrote and leaves the
// target as it was. A program killed while writing leaves the one temporary
// file of that fixed name, which the next write of the same target takes
// over; temporary files never accumulate. Two writers of one target (two
// programs saving one form) take turns.
//
// A failed Append does not raise: the file remembers the first failure,
// skips every later write, and Commit raises it. Failed() tells at once.
//
// The target may be reached through a symbolic link: the file the link
// leads to is replaced, and the link stays.
class ReplacementFile {
 public:
  // Raises 52 for an empty path; 75 when the path names a folder or a file
  // that may not be written; 76 when its folder does not exist; and the
  // errors of creating the temporary file.
  explicit ReplacementFile(const std::string& path, Durability durability = Durability::kVisible,
                           FileSystem& file_system = FileSystem::Current());
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  void Append(std::string_view data);
  bool Failed() const { return failure_.has_value(); }
  // Completes the file and puts it in place of the target (keeping the old
  // target's permissions); raises the first failure of writing, syncing or
  // renaming, after which the target is as it was. Once committed, or failed
  // and raised, the object is done: later calls raise 75.
  void Commit();
  // The path as given.
  const std::string& Path() const { return shown_path_; }

  // The fixed name beside path under which its new version is written:
  // "folder/.name.zarel-new".
  static std::string TemporaryPathOf(const std::string& path);

 private:
  void Discard() noexcept;

  FileSystem& file_system_;
  Durability durability_;
  std::string shown_path_;  // as given, for messages
  std::string target_;      // links resolved
  std::string temporary_;
  std::unique_ptr<WritableFile> file_;
  std::optional<RuntimeError> failure_;
  bool done_ = false;
};

}  // namespace zarel

#endif  // ZAREL_BASE_FILE_SYSTEM_H_
