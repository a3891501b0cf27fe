// What the renderer tests share: a RenderContext that records what the
// renderers ask of the engine, recordsets fabricated from values or read
// from SQLite databases that the tests create, and a report file rendered
// into a temporary folder and read back as lines.
#ifndef ZAREL_TESTING_COMPONENT_RIG_H_
#define ZAREL_TESTING_COMPONENT_RIG_H_

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zarel/base/text_file.h"
#include "zarel/base/variant.h"
#include "zarel/components/render_context.h"
#include "zarel/db/recordset.h"
#include "zarel/testing/files.h"

namespace zarel::testing {

inline const std::string kNbspText = "\xC2\xA0";

// The engine's services as the tests set them: FormatValue follows the
// engine's rules (trimmed text; "Dbl" with "#,##,##0.00", "Dte" with the
// date format; Null a non-breaking space).
class TestContext : public RenderContext {
 public:
  bool talking = true;
  std::vector<std::string> messages;
  std::optional<std::string> selected_node = std::string("Smith");
  std::string date_format = "dd Mmm yyyy";
  Variant application_folder = Variant(std::string());
  // The data gate of the shape report; by default it refuses every query.
  std::function<bool(const std::string&, std::shared_ptr<Recordset>&)> fetch;
  std::vector<std::string> queries;

  bool Talking() const override { return talking; }
  void ZarelMessage(const std::string& message) override { messages.push_back(message); }
  std::string SelectedNodeText() const override;
  std::string FormatValue(const Variant& value, std::string_view type_code) const override;
  Variant NullToZero(const Variant& value) const override;
  bool FetchRecordset(const std::string& query, std::shared_ptr<Recordset>& recordset) override;
  Variant ApplicationFolder() const override { return application_folder; }
};

// A column of a fabricated recordset.
struct Column {
  std::string name;
  int type;
};

// An open recordset with the columns and rows given, on its first row.
std::shared_ptr<Recordset> MakeRecordset(const std::vector<Column>& columns,
                                         const std::vector<std::vector<Variant>>& rows);

// A SQLite database file in a temporary folder, created by running the
// setup script, and read through the platform's connection.
class SqliteSite {
 public:
  explicit SqliteSite(const std::string& setup_script);
  // The rows of the query as an open recordset.
  std::shared_ptr<Recordset> Query(const std::string& sql) const;
  const std::string& FilePath() const { return file_; }

 private:
  TempFolder folder_;
  std::string file_;
};

// Runs the render step against a fresh report file and returns its lines
// (each line without its "\r\n"). Fails the test when a line is not ended
// by "\r\n".
std::vector<std::string> RenderLines(const std::function<void(TextFile&)>& render);

}  // namespace zarel::testing

#endif  // ZAREL_TESTING_COMPONENT_RIG_H_
