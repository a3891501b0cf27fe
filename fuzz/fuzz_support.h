// What the fuzz harnesses share: a property check that stops the run with a
// message (libFuzzer then keeps the input that broke it), a file system
// that keeps nothing (renderers write their report files at full speed, and
// nothing reaches the disk), and a renderer context that answers from
// memory.
#ifndef ZAREL_FUZZ_FUZZ_SUPPORT_H_
#define ZAREL_FUZZ_FUZZ_SUPPORT_H_

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zarel/base/file_system.h"
#include "zarel/components/render_context.h"
#include "zarel/db/recordset.h"

namespace zarel::fuzz {

// Stops the run when a property does not hold.
inline void Check(bool holds, const char* property, std::string_view detail = {}) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n%.*s\n", property, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

// Files written through it are counted and dropped.
class DiscardingFileSystem : public FileSystem {
 public:
  std::unique_ptr<WritableFile> NewWritableFile(const std::string& path,
                                                std::optional<unsigned> permissions) override;
  void RenameFile(const std::string& from, const std::string& to) override;
  void RemoveFile(const std::string& path) override;
  void SyncFolder(const std::string& path) override;
  std::size_t bytes_written = 0;
};

// A renderer context without an engine: not talking, messages collected,
// values formatted as the engine does, no data gate, the node text "Node".
class FuzzContext : public RenderContext {
 public:
  bool Talking() const override { return true; }
  void ZarelMessage(const std::string& message) override { messages.push_back(message); }
  std::string SelectedNodeText() const override { return "Node"; }
  std::string FormatValue(const Variant& value, std::string_view type_code) const override;
  Variant NullToZero(const Variant& value) const override;
  bool FetchRecordset(const std::string&, std::shared_ptr<Recordset>&) override { return false; }
  Variant ApplicationFolder() const override { return Variant("/nonexistent-zarel-fuzz"); }

  std::vector<std::string> messages;
};

// A recordset of a key column, a text column, three number columns (a
// whole number, a double and money) and a date, with a few rows.
std::shared_ptr<Recordset> SampleRecordset();

// Every message is one a renderer raises: an error it caught, or one of its
// fixed texts.
void CheckMessages(const std::vector<std::string>& messages);

}  // namespace zarel::fuzz

#endif  // ZAREL_FUZZ_FUZZ_SUPPORT_H_
