// The totals grid ("table"): the recordset as an HTML table, one row per
// record, values formatted and aligned by their field type group, and an
// optional last row with the totals of the listed columns.
//
// Lines are built in one reused string and the fields are looked up once,
// so a large recordset costs little more than its formatted text.
#include <string>

#include "zarel/components/grid_parts.h"
#include "zarel/components/renderers.h"
#include "zarel/components/section_heading.h"

namespace zarel {

using namespace renderer_text;

void RenderTotalsGrid(RenderContext& context, TextFile& report,
                      std::shared_ptr<Recordset>& recordset, const std::string& caption,
                      std::int32_t component, const std::string& totals) {
  try {
    Recordset& records = RequireRecordset(recordset);
    if (records.RecordCount() == 0) {
      if (context.Talking()) context.ZarelMessage("Talking: Blank Recordset: " + caption);
      return;
    }
    TotalsList list(totals, records.Fields().Count());
    // A recordset that cannot count its records shows nothing.
    if (records.RecordCount() <= 0) return;

    std::string line = SectionHeading(context, caption, component);
    records.MoveFirst();
    const std::vector<GridColumn> columns = GridColumnsOf(records.Fields());
    line += "<table id='TBL";
    line += ComponentDigits(component);
    line += "' cellspacing=1 border=1 width=100%><tr>";
    AppendHeadingCells(line, columns);
    report.WriteLine(line);

    // Data rows, left unclosed like the heading row.
    const bool accumulating = list.Accumulating();
    while (!records.Eof()) {
      line.assign("<tr>");
      for (std::size_t ordinal = 0; ordinal < columns.size(); ++ordinal) {
        const GridColumn& column = columns[ordinal];
        const Variant& value = column.field->Value();
        line += column.cell_opening;
        context.AppendFormattedValue(line, value, column.type_code);
        line += "</td>";
        if (accumulating) list.Add(static_cast<int>(ordinal), value, context);
      }
      report.WriteLine(line);
      records.MoveNext();
    }

    // The totals row: the label in the first field's column, then one cell
    // per field.
    line.clear();
    if (accumulating) {
      line += "<tr><td align=left class=ttf>Total:</td>";
      AppendTotalCells(line, list, columns, context,
                       "<td align=right class=ttf>\xC2\xA0</td>", [](double) {});
    }
    line += "</table><br><br>";
    report.WriteLine(line);
  } catch (...) {
    ReportCurrentFailure(context, "Error-: ");
  }
}

}  // namespace zarel
