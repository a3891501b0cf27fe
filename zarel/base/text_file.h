// TextFile: an output text file written line by line, each line ending in a
// carriage return and a line feed, as report pages and the front page are.
//
// Text is written as given (UTF-8). The file is created anew, or truncated,
// when it is opened, and closed when the object goes (or by Close()), so a
// composition that stops on a failure never leaves the file held open.
// Lines go through one buffer of 256 KiB, written out when it is full and
// at Close: a report page of 20 MB takes about eighty writes.
//
// Threads: one thread at a time per TextFile.
#ifndef ZAREL_BASE_TEXT_FILE_H_
#define ZAREL_BASE_TEXT_FILE_H_

#include <memory>
#include <string>
#include <string_view>

namespace zarel {

class TextFile {
 public:
  // Opens path for output. Raises 76 "Path not found" when its folder does
  // not exist, 75 "Path/File access error" when it cannot be written, 52
  // "Bad file name or number" for an empty path.
  explicit TextFile(const std::string& path);
  // Writes out what is buffered and closes the file; a failure here goes
  // unreported (call Close to learn of it).
  ~TextFile();
  TextFile(TextFile&&) noexcept;
  TextFile& operator=(TextFile&&) noexcept;

  // Writes text followed by "\r\n"; 75 when the write fails or the file is
  // closed.
  void WriteLine(std::string_view text);
  // Writes out what is buffered and closes; 75 when the data cannot be
  // written out (also when an earlier write failed). A second Close does
  // nothing.
  void Close();
  const std::string& Path() const { return path_; }

 private:
  class Output;
  std::string path_;
  std::unique_ptr<Output> output_;
};

}  // namespace zarel

#endif  // ZAREL_BASE_TEXT_FILE_H_
