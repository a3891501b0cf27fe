// The output text file: lines gathered in a large buffer, each ending in
// "\r\n", handed to a ReplacementFile that puts the whole page in place: a
// report page of 20 MB takes about eighty writes.
#include "zarel/base/text_file.h"

#include "zarel/base/error.h"
#include "zarel/base/file_system.h"

namespace zarel {

namespace {

constexpr std::size_t kBufferSize = std::size_t{256} * 1024;

}  // namespace

TextFile::TextFile(const std::string& path)
    : path_(path), file_(std::make_unique<ReplacementFile>(path)) {
  buffer_.reserve(kBufferSize);
}

TextFile::~TextFile() = default;
TextFile::TextFile(TextFile&&) noexcept = default;
TextFile& TextFile::operator=(TextFile&&) noexcept = default;

void TextFile::WriteLine(std::string_view text) {
  if (!file_) Raise(errc::kPathFileAccessError, "The file is closed: " + path_);
  buffer_.append(text);
  buffer_.append("\r\n");
  if (buffer_.size() >= kBufferSize) Flush();
}

bool TextFile::Failed() const { return file_ && file_->Failed(); }

void TextFile::Flush() {
  file_->Append(buffer_);
  buffer_.clear();
}

void TextFile::Close() {
  if (!file_) return;
  std::unique_ptr<ReplacementFile> file = std::move(file_);
  file->Append(buffer_);
  buffer_.clear();
  buffer_.shrink_to_fit();
  file->Commit();
}

}  // namespace zarel
