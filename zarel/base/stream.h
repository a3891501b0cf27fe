// Stream: a binary buffer that is written and then saved to a file, as the
// image record saves pictures (Type 1, Open, Write, SaveToFile 2, Close).
//
// Threads: one thread at a time per Stream.
#ifndef ZAREL_BASE_STREAM_H_
#define ZAREL_BASE_STREAM_H_

#include <cstddef>
#include <string>

#include "zarel/base/variant.h"

namespace zarel {

inline constexpr int kTypeBinary = 1;
inline constexpr int kSaveCreateNotExist = 1;
inline constexpr int kSaveCreateOverWrite = 2;

class Stream {
 public:
  // Only kTypeBinary is supported; any other type raises 5.
  void Type(int type);
  int Type() const { return type_; }
  // Opens the stream empty; 3705 when it is already open.
  void Open();
  bool IsOpen() const { return open_; }
  // Appends the bytes of a Bytes value; 13 for any other value (Null too),
  // 3704 when the stream is not open.
  void Write(const Variant& data);
  // The bytes written so far.
  std::size_t Size() const { return buffer_.size(); }
  // Writes the buffer to path. With kSaveCreateOverWrite an existing file is
  // replaced; with kSaveCreateNotExist it is an error (75). A folder that
  // does not exist gives 76, a file that cannot be written 75, an empty path
  // 52, other options 5, a stream that is not open 3704. The file is written
  // beside its final name and renamed over it, so a failed save leaves no
  // half-written picture and an existing file as it was.
  void SaveToFile(const std::string& path, int options);
  // Drops the buffer; 3704 when the stream is not open.
  void Close();

 private:
  int type_ = kTypeBinary;
  bool open_ = false;
  Bytes buffer_;
};

}  // namespace zarel

#endif  // ZAREL_BASE_STREAM_H_
