// The record form ("header" and "htmlinject"): the first record of the
// recordset as one line. Labelled, every field is a row with its name and
// value; unlabelled, the values stand side by side in a single row, so a
// procedure can deliver ready-made HTML into the page.
#include <string>

#include "zarel/components/renderers.h"
#include "zarel/components/section_heading.h"

namespace zarel {

void RenderRecordForm(RenderContext& context, TextFile& report,
                      std::shared_ptr<Recordset>& recordset, const std::string& caption,
                      std::int32_t component, bool labelled) {
  try {
    Recordset& records = RequireRecordset(recordset);
    if (records.RecordCount() == 0) {
      if (context.Talking()) context.ZarelMessage("Blank Recordset: " + caption);
      return;
    }
    if (records.RecordCount() <= 0) return;

    // The whole section is one line, written only once it is complete.
    std::string line = SectionHeading(context, caption, component);
    line += SectionTableStart(component);
    if (!labelled) line += "<tr>";
    records.MoveFirst();
    for (const Field& field : records.Fields()) {
      if (labelled) {
        line += "<tr><td class=hn width=40%>";
        context.AppendFormattedValue(line, Variant(field.Name()), " ");
        line += ": </td>";
      }
      line += "<td class=hv>";
      context.AppendFormattedValue(line, field.Value(), FormTypeCodeOf(field.Type()));
      line += "</td>";
    }
    line += "</table><br><br>";
    report.WriteLine(line);
  } catch (...) {
    ReportCurrentFailure(context, "Error: ");
  }
}

}  // namespace zarel
