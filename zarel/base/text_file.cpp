// The output text file: lines gathered in one large buffer, each ending in
// "\r\n", written out with the platform's file errors.
#include "zarel/base/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "zarel/base/error.h"

namespace zarel {

namespace {

constexpr std::size_t kBufferSize = std::size_t{256} * 1024;

[[noreturn]] void RaiseFileError(int error_number, const std::string& path) {
  const bool folder_missing = error_number == ENOENT || error_number == ENOTDIR;
  const int number = folder_missing ? errc::kPathNotFound : errc::kPathFileAccessError;
  Raise(number, StandardDescription(number) + ": " + path);
}

// Writing to a file that is open fails only as an access error (a full
// disk, a failing device).
[[noreturn]] void RaiseWriteError(const std::string& path) {
  Raise(errc::kPathFileAccessError,
        StandardDescription(errc::kPathFileAccessError) + ": " + path);
}

// --- The file system calls of the report files, all of them ---

// A new or truncated file open for writing; raises the platform's errors.
int OpenForWriting(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) RaiseFileError(EISDIR, path);
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (descriptor < 0) RaiseFileError(errno, path);
  return descriptor;
}

// Writes all of data; false when the system refuses part of it.
bool WriteAll(int descriptor, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(descriptor, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool CloseDescriptor(int descriptor) { return ::close(descriptor) == 0; }

}  // namespace

// The open file with its buffer.
class TextFile::Output {
 public:
  explicit Output(int descriptor) : descriptor_(descriptor), buffer_(new char[kBufferSize]) {}
  ~Output() {
    if (descriptor_ < 0) return;
    Flush();
    CloseDescriptor(descriptor_);
  }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  // False once a write has failed; what followed it was dropped.
  bool Append(const char* data, std::size_t size) {
    if (size > kBufferSize - used_) {
      if (!Flush()) return false;
      if (size >= kBufferSize) {
        if (!WriteAll(descriptor_, data, size)) failed_ = true;
        return !failed_;
      }
    }
    std::memcpy(buffer_.get() + used_, data, size);
    used_ += size;
    return !failed_;
  }
  bool Flush() {
    if (!failed_ && used_ > 0 && !WriteAll(descriptor_, buffer_.get(), used_)) failed_ = true;
    used_ = 0;
    return !failed_;
  }
  // Flushes and closes; false when anything written was lost.
  bool Finish() {
    const bool flushed = Flush();
    const bool closed = CloseDescriptor(descriptor_);
    descriptor_ = -1;
    return flushed && closed;
  }

 private:
  int descriptor_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  bool failed_ = false;
};

TextFile::TextFile(const std::string& path) : path_(path) {
  if (path.empty()) Raise(errc::kBadFileNameOrNumber);
  output_ = std::make_unique<Output>(OpenForWriting(path));
}

TextFile::~TextFile() = default;

TextFile::TextFile(TextFile&&) noexcept = default;
TextFile& TextFile::operator=(TextFile&&) noexcept = default;

void TextFile::WriteLine(std::string_view text) {
  if (output_ == nullptr) Raise(errc::kPathFileAccessError, "The file is closed: " + path_);
  if (!output_->Append(text.data(), text.size()) || !output_->Append("\r\n", 2)) {
    RaiseWriteError(path_);
  }
}

void TextFile::Close() {
  if (output_ == nullptr) return;
  std::unique_ptr<Output> output = std::move(output_);
  if (!output->Finish()) RaiseWriteError(path_);
}

}  // namespace zarel
