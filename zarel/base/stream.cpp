// The binary stream: bytes gathered in memory, then saved to a file as a
// ReplacementFile, so a picture on disk is always either the old one or the
// whole new one.
#include "zarel/base/stream.h"

#include <filesystem>
#include <string>

#include "zarel/base/error.h"
#include "zarel/base/file_system.h"

namespace zarel {

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
  std::error_code error;
  if (options == kSaveCreateNotExist && std::filesystem::exists(path, error)) {
    Raise(errc::kPathFileAccessError,
          StandardDescription(errc::kPathFileAccessError) + ": " + path + " already exists");
  }
  ReplacementFile file(path);
  file.Append(std::string_view(reinterpret_cast<const char*>(buffer_.data()), buffer_.size()));
  file.Commit();
}

void Stream::Close() {
  if (!open_) Raise(errc::kObjectClosed);
  open_ = false;
  buffer_.clear();
  buffer_.shrink_to_fit();
}

}  // namespace zarel
