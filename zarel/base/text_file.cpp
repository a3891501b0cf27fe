// The output text file: lines written through a large buffer, each ending
// in "\r\n", with the platform's file errors.
#include "zarel/base/text_file.h"

#include <sys/stat.h>

#include <cerrno>

#include "zarel/base/error.h"

namespace zarel {

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

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

}  // namespace

void TextFile::Closer::operator()(std::FILE* file) const { std::fclose(file); }

TextFile::TextFile(const std::string& path) : path_(path) {
  if (path.empty()) Raise(errc::kBadFileNameOrNumber);
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) RaiseFileError(EISDIR, path);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) RaiseFileError(errno, path);
  file_.reset(file);
  std::setvbuf(file, nullptr, _IOFBF, kBufferSize);
}

TextFile::~TextFile() = default;
TextFile::TextFile(TextFile&&) noexcept = default;
TextFile& TextFile::operator=(TextFile&&) noexcept = default;

void TextFile::WriteLine(std::string_view text) {
  if (!file_) Raise(errc::kPathFileAccessError, "The file is closed: " + path_);
  std::FILE* file = file_.get();
  if (std::fwrite(text.data(), 1, text.size(), file) != text.size() ||
      std::fwrite("\r\n", 1, 2, file) != 2) {
    RaiseWriteError(path_);
  }
}

void TextFile::Close() {
  if (!file_) return;
  std::FILE* file = file_.release();
  const bool flushed = std::fflush(file) == 0;
  const bool closed = std::fclose(file) == 0;
  if (!flushed || !closed) RaiseWriteError(path_);
}

}  // namespace zarel
