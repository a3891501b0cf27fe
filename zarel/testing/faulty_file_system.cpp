// The file system that fails on purpose (see faulty_file_system.h).
#include "zarel/testing/faulty_file_system.h"

#include <algorithm>
#include <cerrno>

namespace zarel::testing {

using Operation = FaultyFileSystem::Operation;

// A file of the machine's file system whose operations are checked first.
class FaultyFileSystem::File : public WritableFile {
 public:
  File(FaultyFileSystem& owner, std::unique_ptr<WritableFile> file, std::string path)
      : owner_(owner), file_(std::move(file)), path_(std::move(path)) {}

  void Append(std::string_view data) override {
    owner_.Check(Operation::kAppend, path_);
    const std::size_t fits = owner_.Fits(data.size());
    file_->Append(data.substr(0, fits));
    if (fits < data.size()) RaiseFileError(ENOSPC, path_);
  }
  void Sync() override {
    owner_.Check(Operation::kSync, path_);
    file_->Sync();
  }
  void Close() override {
    owner_.Check(Operation::kClose, path_);
    file_->Close();
  }

 private:
  FaultyFileSystem& owner_;
  std::unique_ptr<WritableFile> file_;
  std::string path_;
};

void FaultyFileSystem::DiskFullAfter(std::size_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  space_left_ = bytes;
}

void FaultyFileSystem::Fail(Operation operation, int error_number) {
  std::lock_guard<std::mutex> lock(mutex_);
  fail_with_[static_cast<int>(operation)] = error_number;
}

void FaultyFileSystem::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (int& error : fail_with_) error = 0;
  space_left_.reset();
}

int FaultyFileSystem::Count(Operation operation) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return counts_[static_cast<int>(operation)];
}

void FaultyFileSystem::Check(Operation operation, const std::string& path) {
  int error = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_[static_cast<int>(operation)];
    error = fail_with_[static_cast<int>(operation)];
  }
  if (error != 0) RaiseFileError(error, path);
}

std::size_t FaultyFileSystem::Fits(std::size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!space_left_) return size;
  const std::size_t fits = std::min(size, *space_left_);
  *space_left_ -= fits;
  return fits;
}

std::unique_ptr<WritableFile> FaultyFileSystem::NewWritableFile(
    const std::string& path, std::optional<unsigned> permissions) {
  Check(Operation::kOpen, path);
  return std::make_unique<File>(*this, Posix().NewWritableFile(path, permissions), path);
}

void FaultyFileSystem::RenameFile(const std::string& from, const std::string& to) {
  Check(Operation::kRename, to);
  Posix().RenameFile(from, to);
}

void FaultyFileSystem::RemoveFile(const std::string& path) {
  Check(Operation::kRemove, path);
  Posix().RemoveFile(path);
}

void FaultyFileSystem::SyncFolder(const std::string& path) {
  Check(Operation::kSyncFolder, path);
  Posix().SyncFolder(path);
}

}  // namespace zarel::testing
