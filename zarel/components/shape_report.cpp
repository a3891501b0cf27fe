// The shape report ("shape"): a hierarchical recordset, whose records carry
// child recordsets in chapter fields, as nested tables. The component's own
// query returns the shape command; the report runs it through the data gate
// into a recordset of its own. Each record with chapter fields gets an
// expander image, and each child recordset follows it in a hidden row, to
// any depth. The ids and display styles are hooks for the page's script.
#include "zarel/components/shape_report.h"

#include <string>

#include "zarel/base/error.h"
#include "zarel/components/renderers.h"
#include "zarel/components/section_heading.h"

namespace zarel {

namespace {

constexpr const char* kLevelColours[] = {"fa8072", "90ee90", "ffffcc", "5f9ea0", "b0e0e6",
                                         "00ffff", "deb887", "8fbc8b", "d2b48c", "bc8f8f"};

const char* LevelColour(int level) {
  int index = (level - 1) % 10;
  if (index < 0) index += 10;
  return kLevelColours[index];
}

std::shared_ptr<Recordset> ChildRecordset(const Field& chapter) {
  std::shared_ptr<Recordset> child = chapter.Value().AsObjectOf<Recordset>();
  if (!child) Raise(errc::kTypeMismatch);
  return child;
}

}  // namespace

void RenderShapedLevel(RenderContext& context, const std::shared_ptr<Recordset>& recordset,
                       TextFile& report, std::int16_t parent_width, std::int16_t level,
                       bool hidden, const Variant& parent_key, std::int16_t chapter_number) {
  Recordset& records = RequireRecordset(recordset);
  if (records.RecordCount() == 0) return;

  const std::string key_text = parent_key.TextOrEmpty();
  const std::string div_id =
      LevelDigits(chapter_number) + "SHP" + LevelDigits(level) + key_text;
  const std::string row_id =
      LevelDigits(chapter_number) + "ROW" + LevelDigits(level) + key_text;

  std::string line;
  if (level == 1) {
    line = "<td colspan=" + std::to_string(parent_width + 1) + ">";
  } else {
    line = "<tr id=" + row_id + " style=\"display:none\"><td>&nbsp;</td><td colspan=" +
           std::to_string(parent_width + 1) + ">";
  }
  line += "<div id=" + div_id;
  line += hidden ? " style=\"display:none\">" : " style=\"display:default\">";
  line += "<table border=" + std::to_string(level) + " cellpadding=4 cellspacing=0 width=100%>";
  records.MoveFirst();

  FieldCollection& fields = records.Fields();
  bool has_chapters = false;
  for (const Field& field : fields) {
    if (field.Type() == fieldtype::kChapter) has_chapters = true;
  }

  const char* colour = LevelColour(level);
  line += has_chapters ? "<tr><td width=5%>&nbsp;</td>" : "<tr>";
  for (const Field& field : fields) {
    if (field.Type() == fieldtype::kChapter) continue;
    line += "<td class=ths bgcolor=#";
    line += colour;
    line += ">";
    line += field.Name();
    line += "</td>";
  }
  report.WriteLine(line);

  const std::int16_t child_width = Variant(fields.Count() + 1).ToInteger();
  const std::int16_t child_level = Variant(level + 1).ToInteger();
  while (!records.Eof()) {
    const Variant key = fields.Item(0).Value();
    if (has_chapters) {
      line = "<tr><td width=5%><img id=DTL" + LevelDigits(level + 1) + key.TextOrEmpty() +
             " src=plus.gif></td>";
    } else {
      line = "<tr>";
    }
    for (const Field& field : fields) {
      if (field.Type() == fieldtype::kChapter) continue;
      const TypeGroup group = TypeGroupOf(field.Type());
      line += IsRightAligned(group) ? "<td align=right class=ttd>" : "<td class=ttd>";
      context.AppendFormattedValue(line, field.Value(), TypeCodeOf(group));
      line += "</td>";
    }
    report.WriteLine(line);

    std::int16_t chapter = 0;
    for (const Field& field : fields) {
      if (field.Type() != fieldtype::kChapter) continue;
      ++chapter;
      RenderShapedLevel(context, ChildRecordset(field), report, child_width, child_level, true,
                        key, chapter);
    }
    records.MoveNext();
  }
  report.WriteLine("</table></div>");
}

void RenderShapeReport(RenderContext& context, TextFile& report,
                       std::shared_ptr<Recordset>& recordset, const std::string& caption,
                       std::int32_t component) {
  try {
    Recordset& records = RequireRecordset(recordset);
    if (records.RecordCount() == 0) {
      if (context.Talking()) context.ZarelMessage("Blank Recordset: " + caption);
      return;
    }
    if (records.RecordCount() > 1) {
      if (context.Talking()) context.ZarelMessage("Improper Shape SQL: " + caption);
      return;
    }

    const std::string command = records.Fields().Item(0).Value().TextOrEmpty();
    std::shared_ptr<Recordset> shaped;
    if (!context.FetchRecordset(command, shaped)) {
      if (context.Talking()) context.ZarelMessage("Error Reading Data From Database");
      return;
    }
    Recordset& shaped_records = RequireRecordset(shaped);
    if (shaped_records.RecordCount() <= 0) return;

    std::string line;
    if (!caption.empty()) {
      const std::string shown_caption = ApplyCaptionRule(context, caption);
      line += " <table border=0 Width=100%><tr><td><p id='TTL";
      line += ComponentDigits(component);
      line += "' class=ph><img src='circle.gif'>";
      line += shown_caption;
      line += "</td><td><p align=right id=DISPALL class=ph>Display All</td></table>";
    }
    shaped_records.MoveFirst();
    line += "<table id='TBL";
    line += ComponentDigits(component);
    line += "' border=0 width=100%><tr>";
    report.WriteLine(line);

    RenderShapedLevel(context, shaped, report, 0, 1, false, Variant(std::int16_t{0}), 1);
  } catch (...) {
    ReportCurrentFailure(context, "Error: ");
  }
}

}  // namespace zarel
