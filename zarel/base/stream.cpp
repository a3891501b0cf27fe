// The binary stream: bytes gathered in memory, then saved to a file through
// a temporary file beside it and a rename, so a picture on disk is always
// either the old one or the whole new one.
#include "zarel/base/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "zarel/base/error.h"

namespace zarel {

namespace {


// The platform's number for a failed file operation.
[[noreturn]] void RaiseFileError(int error_number, const std::string& path) {
  const bool folder_missing = error_number == ENOENT || error_number == ENOTDIR;
  const int number = folder_missing ? errc::kPathNotFound : errc::kPathFileAccessError;
  Raise(number, StandardDescription(number) + ": " + path);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A file descriptor that is closed when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int Get() const { return fd_; }
  // Closes now, answering the errno of a failed close (0 when it worked).
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

// Creates a new, uniquely named file in folder; answers its descriptor and
// path, or raises the platform's error for the folder.
Descriptor CreateTemporaryBeside(const std::string& path, std::string& temporary_path) {
  static std::atomic<unsigned> counter{0};
  const std::string folder = FolderOf(path);
  const std::string stem = folder + "/." + NameOf(path) + "." + std::to_string(::getpid()) + ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_path = stem + std::to_string(counter++) + ".tmp";
    const int fd = ::open(temporary_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return Descriptor(fd);
    if (errno != EEXIST) RaiseFileError(errno, path);
  }
  RaiseFileError(EEXIST, path);
}

}  // namespace

void Stream::Type(int type) {
  if (type != kTypeBinary) {
    Raise(errc::kInvalidProcedureCall,
          "Stream type " + std::to_string(type) + " is not supported; only binary (1) is");
  }
  type_ = type;
}

void Stream::Open() {
  if (open_) Raise(errc::kObjectOpen);
  buffer_.clear();
  open_ = true;
}

void Stream::Write(const Variant& data) {
  if (!open_) Raise(errc::kObjectClosed);
  if (data.Type() != VarType::kBytes) Raise(errc::kTypeMismatch);
  const Bytes& bytes = data.AsBytes();
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void Stream::SaveToFile(const std::string& path, int options) {
  if (!open_) Raise(errc::kObjectClosed);
  if (options != kSaveCreateNotExist && options != kSaveCreateOverWrite) {
    Raise(errc::kInvalidProcedureCall, "Save option " + std::to_string(options) +
                                           " is not supported; use 1 or 2");
  }
  if (path.empty()) Raise(errc::kBadFileNameOrNumber);

  struct stat folder_status {};
  if (::stat(FolderOf(path).c_str(), &folder_status) != 0) RaiseFileError(errno, path);
  if (!S_ISDIR(folder_status.st_mode)) RaiseFileError(ENOTDIR, path);
  struct stat target_status {};
  if (::stat(path.c_str(), &target_status) == 0) {
    if (S_ISDIR(target_status.st_mode) || options == kSaveCreateNotExist) {
      Raise(errc::kPathFileAccessError,
            StandardDescription(errc::kPathFileAccessError) + ": " + path + " already exists");
    }
  }

  std::string temporary_path;
  Descriptor file = CreateTemporaryBeside(path, temporary_path);
  const auto fail = [&](int error_number) {
    ::unlink(temporary_path.c_str());
    RaiseFileError(error_number, path);
  };
  std::size_t written = 0;
  while (written < buffer_.size()) {
    const ssize_t count = ::write(file.Get(), buffer_.data() + written, buffer_.size() - written);
    if (count < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    written += static_cast<std::size_t>(count);
  }
  if (const int close_error = file.Close(); close_error != 0) fail(close_error);
  if (::rename(temporary_path.c_str(), path.c_str()) != 0) fail(errno);
}

void Stream::Close() {
  if (!open_) Raise(errc::kObjectClosed);
  open_ = false;
  buffer_.clear();
  buffer_.shrink_to_fit();
}

}  // namespace zarel
