// The file system seam: the POSIX file system (the one place where the
// system's files are written with system calls), the current file system,
// and files replaced whole through a temporary file beside them.
#include "zarel/base/file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <utility>

namespace zarel {

namespace {

// The same error, told about another path (the target instead of its
// temporary file).
RuntimeError AboutPath(const RuntimeError& error, const std::string& path) {
  return RuntimeError(error.Number(), StandardDescription(error.Number()) + ": " + path);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// A descriptor closed when it goes, unless released.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int Get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

class PosixWritableFile : public WritableFile {
 public:
  PosixWritableFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixWritableFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  void Append(std::string_view data) override {
    RequireOpen();
    while (!data.empty()) {
      const ssize_t written = ::write(fd_, data.data(), data.size());
      if (written < 0) {
        if (errno == EINTR) continue;
        RaiseFileError(errno, path_);
      }
      data.remove_prefix(static_cast<std::size_t>(written));
    }
  }

  void Sync() override {
    RequireOpen();
    if (::fsync(fd_) != 0) RaiseFileError(errno, path_);
  }

  void Close() override {
    RequireOpen();
    // The descriptor is gone after close() whatever it answers.
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0 && errno != EINTR) RaiseFileError(errno, path_);
  }

 private:
  void RequireOpen() const {
    if (fd_ < 0) Raise(errc::kPathFileAccessError, "The file is closed: " + path_);
  }

  int fd_;
  std::string path_;
};

class PosixFileSystem : public FileSystem {
 public:
  std::unique_ptr<WritableFile> NewWritableFile(const std::string& path,
                                                std::optional<unsigned> permissions) override {
    if (path.empty()) Raise(errc::kBadFileNameOrNumber);
    const mode_t mode = static_cast<mode_t>(permissions.value_or(0666));
    // A writer that finds the name taken over by the writer before it (which
    // renamed or removed the file while this one waited) opens it afresh; a
    // few turns are plenty, the bound only keeps a pathological race finite.
    for (int attempt = 0; attempt < 100; ++attempt) {
      // O_NOFOLLOW: a symbolic link planted under the name is refused rather
      // than followed, so a write never truncates a file elsewhere.
      Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, mode));
      if (file.Get() < 0) RaiseFileError(errno, path);
      // One writer at a time; the kernel releases the lock of a writer that
      // dies, so a killed program never blocks the next one.
      while (::flock(file.Get(), LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        // A file system without locks: write without one.
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL) break;
        RaiseFileError(errno, path);
      }
      struct stat opened {};
      struct stat named {};
      if (::fstat(file.Get(), &opened) != 0) RaiseFileError(errno, path);
      if (::lstat(path.c_str(), &named) != 0 || named.st_ino != opened.st_ino ||
          named.st_dev != opened.st_dev) {
        continue;
      }
      if (!S_ISREG(opened.st_mode)) RaiseFileError(EISDIR, path);
      if (::ftruncate(file.Get(), 0) != 0) RaiseFileError(errno, path);
      // A file left by an earlier writer keeps its old bits otherwise.
      if (permissions && ::fchmod(file.Get(), mode) != 0) RaiseFileError(errno, path);
      return std::make_unique<PosixWritableFile>(file.Release(), path);
    }
    RaiseFileError(EAGAIN, path);
  }

  void RenameFile(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) RaiseFileError(errno, to);
  }

  void RemoveFile(const std::string& path) override {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) RaiseFileError(errno, path);
  }

  void SyncFolder(const std::string& path) override {
    Descriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() < 0) RaiseFileError(errno, path);
    // Some file systems cannot sync a folder (EINVAL); their renames are as
    // durable as they get.
    if (::fsync(folder.Get()) != 0 && errno != EINVAL) RaiseFileError(errno, path);
  }
};

std::atomic<FileSystem*> g_current{nullptr};

}  // namespace

void RaiseFileError(int error_number, const std::string& path) {
  int number = errc::kPathFileAccessError;
  if (error_number == ENOENT || error_number == ENOTDIR) number = errc::kPathNotFound;
  if (error_number == ENOSPC || error_number == EDQUOT) number = errc::kDiskFull;
  if (error_number == EIO) number = errc::kDeviceIOError;
  Raise(number, StandardDescription(number) + ": " + path);
}

FileSystem& FileSystem::Posix() {
  static PosixFileSystem posix;
  return posix;
}

FileSystem& FileSystem::Current() {
  FileSystem* current = g_current.load(std::memory_order_acquire);
  return current != nullptr ? *current : Posix();
}

ScopedFileSystem::ScopedFileSystem(FileSystem& file_system)
    : previous_(g_current.exchange(&file_system, std::memory_order_acq_rel)) {}

ScopedFileSystem::~ScopedFileSystem() { g_current.store(previous_, std::memory_order_release); }

std::string ReplacementFile::TemporaryPathOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  return folder + "." + name + ".zarel-new";
}

ReplacementFile::ReplacementFile(const std::string& path, Durability durability,
                                 FileSystem& file_system)
    : file_system_(file_system), durability_(durability), shown_path_(path), target_(path) {
  if (path.empty()) Raise(errc::kBadFileNameOrNumber);
  // A target reached through a symbolic link is replaced where it lives.
  struct stat link {};
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(path, error);
    if (error) {
      Raise(errc::kPathFileAccessError, StandardDescription(errc::kPathFileAccessError) + ": " +
                                            path + " is a link that leads nowhere");
    }
    target_ = resolved.string();
  }
  std::optional<unsigned> permissions;
  struct stat status {};
  if (::stat(target_.c_str(), &status) == 0) {
    if (S_ISDIR(status.st_mode)) RaiseFileError(EISDIR, path);
    // Only a plain file is replaced: renaming over a device, a pipe or a
    // socket would put a plain file in its place (a page named /dev/null
    // must not take the system's device away).
    if (!S_ISREG(status.st_mode)) {
      Raise(errc::kPathFileAccessError,
            StandardDescription(errc::kPathFileAccessError) + ": " + path + " is not a plain file");
    }
    // A file its owner made read-only stays as it is, as it would if it
    // were written in place.
    if (::access(target_.c_str(), W_OK) != 0) RaiseFileError(errno, path);
    permissions = status.st_mode & 07777;
  }
  temporary_ = TemporaryPathOf(target_);
  try {
    file_ = file_system_.NewWritableFile(temporary_, permissions);
  } catch (const RuntimeError& error) {
    throw AboutPath(error, path);
  }
}

ReplacementFile::~ReplacementFile() {
  if (!done_) Discard();
}

void ReplacementFile::Append(std::string_view data) {
  if (done_) Raise(errc::kPathFileAccessError, "The file is closed: " + shown_path_);
  if (failure_) return;
  try {
    file_->Append(data);
  } catch (const RuntimeError& error) {
    // What was written is of no use any more: give the space back now.
    failure_ = AboutPath(error, shown_path_);
    Discard();
  }
}

void ReplacementFile::Commit() {
  if (done_) Raise(errc::kPathFileAccessError, "The file is closed: " + shown_path_);
  done_ = true;
  if (failure_) throw *failure_;
  bool renamed = false;
  try {
    if (durability_ == Durability::kDurable) file_->Sync();
    // Renamed while the file is still open and locked, so that no other
    // writer can take the temporary name over in between.
    file_system_.RenameFile(temporary_, target_);
    renamed = true;
    if (durability_ == Durability::kDurable) file_system_.SyncFolder(FolderOf(target_));
    file_->Close();
    file_.reset();
  } catch (const RuntimeError& error) {
    if (renamed) {
      file_.reset();
    } else {
      Discard();
    }
    throw AboutPath(error, shown_path_);
  }
}

void ReplacementFile::Discard() noexcept {
  if (!file_) return;
  // Removed before the file is closed: while this writer still holds the
  // lock, no other writer can have taken the name over.
  try {
    file_system_.RemoveFile(temporary_);
  } catch (const RuntimeError&) {
    // A file that cannot be removed is taken over by the next writer.
  }
  file_.reset();
}

}  // namespace zarel
