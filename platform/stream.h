// Stream: a binary buffer that is written and then saved to a file, as the
// image record saves pictures (Type 1, Open, Write, SaveToFile 2, Close).
#ifndef ZAREL_PLATFORM_STREAM_H_
#define ZAREL_PLATFORM_STREAM_H_

#include <string>

#include "platform/variant.h"

namespace zarel {

inline constexpr int kTypeBinary = 1;
inline constexpr int kSaveCreateNotExist = 1;
inline constexpr int kSaveCreateOverWrite = 2;

class Stream {
 public:
  void Type(int type);  // only kTypeBinary is supported; 3001-style misuse raises 5
  void Open();
  // Appends the bytes of a Bytes value; 13 for any other value (Null too).
  void Write(const Variant& data);
  // Writes the buffer to path. With kSaveCreateOverWrite an existing file is
  // replaced; with kSaveCreateNotExist it is an error (75). A folder that
  // does not exist gives 76, a file that cannot be written 75. The file is
  // written beside its final name and renamed over it, so a failed save
  // leaves no half-written picture.
  void SaveToFile(const std::string& path, int options);
  void Close();

 private:
  int type_ = kTypeBinary;
  bool open_ = false;
  Bytes buffer_;
};

}  // namespace zarel

#endif  // ZAREL_PLATFORM_STREAM_H_
