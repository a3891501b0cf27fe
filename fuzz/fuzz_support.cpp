// The fuzz harnesses' shared helpers (see fuzz_support.h).
#include "fuzz/fuzz_support.h"

#include "zarel/base/date_time.h"
#include "zarel/engine/query_parameters.h"

namespace zarel::fuzz {

namespace {

class DiscardingFile : public WritableFile {
 public:
  explicit DiscardingFile(std::size_t& bytes) : bytes_(bytes) {}
  void Append(std::string_view data) override { bytes_ += data.size(); }
  void Sync() override {}
  void Close() override {}

 private:
  std::size_t& bytes_;
};

}  // namespace

std::unique_ptr<WritableFile> DiscardingFileSystem::NewWritableFile(const std::string&,
                                                                    std::optional<unsigned>) {
  return std::make_unique<DiscardingFile>(bytes_written);
}
void DiscardingFileSystem::RenameFile(const std::string&, const std::string&) {}
void DiscardingFileSystem::RemoveFile(const std::string&) {}
void DiscardingFileSystem::SyncFolder(const std::string&) {}

std::string FuzzContext::FormatValue(const Variant& value, std::string_view type_code) const {
  return zarel::FormatValue(value, type_code, "dd Mmm yyyy");
}

Variant FuzzContext::NullToZero(const Variant& value) const { return zarel::NullToZero(value); }

std::shared_ptr<Recordset> SampleRecordset() {
  std::shared_ptr<Recordset> recordset = Recordset::Create();
  FieldCollection& fields = recordset->Fields();
  fields.Append("Key", fieldtype::kInteger);
  fields.Append("Name", fieldtype::kVarWChar);
  fields.Append("Count", fieldtype::kInteger);
  fields.Append("Amount", fieldtype::kDouble);
  fields.Append("Money", fieldtype::kCurrency);
  fields.Append("Day", fieldtype::kDate);
  recordset->Open();
  const Variant rows[][6] = {
      {Variant(std::int32_t{1}), Variant("North"), Variant(std::int32_t{3}), Variant(2.5),
       Variant(Currency{125000}), Variant(MakeDate({2026, 12, 5, 14, 5, 9}))},
      {Variant(std::int32_t{2}), Variant::Null(), Variant(std::int32_t{-7}), Variant(1e300),
       Variant::Null(), Variant::Null()},
      {Variant(std::int32_t{3}), Variant("O'Brien <b>"), Variant::Null(), Variant(-0.0),
       Variant(Currency{-5}), Variant(MakeDate({100, 1, 1, 0, 0, 0}))},
  };
  for (const auto& row : rows) {
    recordset->AddNew();
    for (int i = 0; i < 6; ++i) recordset->Fields().Item(i).Value(row[i]);
    recordset->Update();
  }
  recordset->MoveFirst();
  return recordset;
}

void CheckMessages(const std::vector<std::string>& messages) {
  for (const std::string& message : messages) {
    const bool known = message.rfind("Error", 0) == 0 || message.rfind("Blank Recordset", 0) == 0 ||
                       message.rfind("Improper", 0) == 0;
    Check(known, "a renderer raises only its own messages", message);
  }
}

}  // namespace zarel::fuzz
