// TextFile: an output text file written line by line, each line ending in a
// carriage return and a line feed, as report pages and the front page are.
//
// Text is written as given (UTF-8). The page is written beside its path and
// put in its place whole by Close() (see ReplacementFile in file_system.h):
// until then, and for good when the writing fails or the TextFile goes
// without Close(), whoever reads the path sees the previous file whole, and
// nothing of the new one is left behind.
//
// Threads: one thread at a time per TextFile.
#ifndef ZAREL_BASE_TEXT_FILE_H_
#define ZAREL_BASE_TEXT_FILE_H_

#include <memory>
#include <string>
#include <string_view>

namespace zarel {

class ReplacementFile;

class TextFile {
 public:
  // Opens path for output. Raises 76 "Path not found" when its folder does
  // not exist, 75 "Path/File access error" when it cannot be written, 52
  // "Bad file name or number" for an empty path.
  explicit TextFile(const std::string& path);
  // Without Close(), the file at the path stays as it was.
  ~TextFile();
  TextFile(TextFile&&) noexcept;
  TextFile& operator=(TextFile&&) noexcept;

  // Writes text followed by "\r\n"; 75 when the file is closed. A failure
  // to write (a full disk, 61; an I/O error, 57; ...) does not raise here:
  // the file remembers it, drops every later line, and Close() raises it.
  void WriteLine(std::string_view text);
  // Whether writing has failed; Close() then raises the failure.
  bool Failed() const;
  // Puts the file in place of the path; raises the first failure of
  // writing (after which the old file stays). A second Close does nothing.
  void Close();
  const std::string& Path() const { return path_; }

 private:
  void Flush();

  std::string path_;
  std::string buffer_;
  std::unique_ptr<ReplacementFile> file_;  // null once closed
};

}  // namespace zarel

#endif  // ZAREL_BASE_TEXT_FILE_H_
