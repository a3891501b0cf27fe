// A file system for tests that fails on purpose: it passes every operation
// on to the machine's own file system, except those it has been told to
// fail, which raise the error the system would (a full disk, an I/O error,
// a refused rename). Put it in place with ScopedFileSystem; every file the
// system writes then goes through it.
//
// Threads: may be used from several threads at once (the web host's).
#ifndef ZAREL_TESTING_FAULTY_FILE_SYSTEM_H_
#define ZAREL_TESTING_FAULTY_FILE_SYSTEM_H_

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "zarel/base/file_system.h"

namespace zarel::testing {

class FaultyFileSystem : public FileSystem {
 public:
  enum class Operation { kOpen, kAppend, kSync, kClose, kRename, kRemove, kSyncFolder };

  // From now on the disk holds only `bytes` more bytes: appends write what
  // still fits, then fail with a full disk (ENOSPC).
  void DiskFullAfter(std::size_t bytes);
  // Every later operation of this kind fails with error_number (an errno
  // value: EIO, EACCES, ...).
  void Fail(Operation operation, int error_number);
  // Works as the machine's file system again.
  void Clear();
  // How many operations of a kind were asked for (failed or not).
  int Count(Operation operation) const;

  std::unique_ptr<WritableFile> NewWritableFile(const std::string& path,
                                                std::optional<unsigned> permissions) override;
  void RenameFile(const std::string& from, const std::string& to) override;
  void RemoveFile(const std::string& path) override;
  void SyncFolder(const std::string& path) override;

 private:
  class File;
  // Counts the operation and raises its fault, if one is set.
  void Check(Operation operation, const std::string& path);
  // How much of size bytes still fit on the disk.
  std::size_t Fits(std::size_t size);

  static constexpr int kOperations = 7;
  mutable std::mutex mutex_;
  int fail_with_[kOperations] = {};
  int counts_[kOperations] = {};
  std::optional<std::size_t> space_left_;
};

}  // namespace zarel::testing

#endif  // ZAREL_TESTING_FAULTY_FILE_SYSTEM_H_
