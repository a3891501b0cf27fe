// The table graph ("tablegraph", "tablegraphh", "tablegraphv"): the grid of
// the totals grid with bar graphs drawn by stretched images. A row graph
// ends every data row with a horizontal bar for the graph field's value,
// 150 pixels standing for the largest magnitude of that field; a totals
// graph adds a row of vertical bars under the totals, 100 pixels standing
// for the largest total shown.
//
// A graph whose scale is 0 (all values 0 or Null, all totals 0) draws bars
// of length 0: an empty month is data, not an error.
#include <cmath>
#include <string>

#include "zarel/components/grid_parts.h"
#include "zarel/components/renderers.h"
#include "zarel/components/section_heading.h"

namespace zarel {

using namespace renderer_text;

namespace {

// The larger of the two magnitudes.
double ScaleOf(double maximum, double minimum) {
  return std::fabs(minimum) < std::fabs(maximum) ? std::fabs(maximum) : std::fabs(minimum);
}

// value / scale * length, or 0 when the scale is 0; never a negative zero.
double BarLength(double value, double scale, double full_length) {
  if (scale == 0) return 0;
  return value / scale * full_length + 0.0;
}

double NumberOf(const RenderContext& context, const Variant& value) {
  return context.NullToZero(value).ToDouble();
}

}  // namespace

void RenderTableGraph(RenderContext& context, TextFile& report,
                      std::shared_ptr<Recordset>& recordset, const std::string& caption,
                      std::int32_t component, const std::string& totals,
                      const std::string& graph_field, bool row_graphs, bool total_graphs) {
  try {
    Recordset& records = RequireRecordset(recordset);
    if (records.RecordCount() == 0) {
      if (context.Talking()) context.ZarelMessage("Blank Recordset: " + caption);
      return;
    }

    // The graph field: the first field whose name matches the option in
    // any letter case.
    records.MoveFirst();
    FieldCollection& fields = records.Fields();
    const Field* graph = nullptr;
    const std::string wanted_name = UpperAscii(graph_field);
    for (const Field& field : fields) {
      if (UpperAscii(field.Name()) == wanted_name) {
        graph = &field;
        break;
      }
    }

    // The range of the graph field over all records.
    double row_scale = 0;
    if (graph != nullptr) {
      double maximum = NumberOf(context, graph->Value());
      double minimum = maximum;
      while (!records.Eof()) {
        const double value = NumberOf(context, graph->Value());
        if (value > maximum) maximum = value;
        if (value < minimum) minimum = value;
        records.MoveNext();
      }
      row_scale = ScaleOf(maximum, minimum);
    }

    TotalsList list(totals, fields.Count());
    if (records.RecordCount() <= 0) return;

    const bool bar_per_row = row_graphs && graph != nullptr;
    std::string line = SectionHeading(context, caption, component);
    records.MoveFirst();
    const std::vector<GridColumn> columns = GridColumnsOf(fields);
    line += "<table id='TBL";
    line += ComponentDigits(component);
    line += "' cellspacing=1 border=1 width=100%><tr>";
    AppendHeadingCells(line, columns);
    if (bar_per_row) {
      line += "<td class=tth width=150>Graph: ";
      line += graph->Name();
      line += "</td>";
    }
    report.WriteLine(line);

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
      if (bar_per_row) {
        const double width = BarLength(NumberOf(context, graph->Value()), row_scale, 150);
        line += width < 0 ? "<td align=left><img src='cbr.gif' height=20 width="
                          : "<td align=left><img src='cbg.gif' height=20 width=";
        line += DoubleToText(std::fabs(width));
        line += "></td>";
      }
      report.WriteLine(line);
      records.MoveNext();
    }

    line.clear();
    if (list.Wanted()) {
      // The totals row, or an empty line when the list has no entries.
      double totals_maximum = 0;
      double totals_minimum = 0;
      if (list.HasEntries()) {
        line += "<tr><td align=left class=ttf>Total:</td>";
        AppendTotalCells(line, list, columns, context, "<td class=ttf>\xC2\xA0</td>",
                         [&](double total) {
                           if (total > totals_maximum) totals_maximum = total;
                           if (total < totals_minimum) totals_minimum = total;
                         });
      }
      report.WriteLine(line);
      line.clear();

      if (total_graphs && list.HasEntries()) {
        const double totals_scale = ScaleOf(totals_maximum, totals_minimum);
        line += "<tr><td align=left class=hn>Graph (Total):</td>";
        for (std::size_t ordinal = 1; ordinal < columns.size(); ++ordinal) {
          const std::vector<std::size_t>& entries = list.EntriesOf(static_cast<int>(ordinal));
          if (entries.empty()) {
            line += "<td valign=top align=right><img src='cbg.gif' width=30 height=0></td>";
            continue;
          }
          for (std::size_t entry : entries) {
            const double height = BarLength(list.Total(entry), totals_scale, 100);
            line += height < 0 ? "<td valign=top align=right><img src='cbr.gif' width=30 height="
                               : "<td valign=top align=right><img src='cbg.gif' width=30 height=";
            line += DoubleToText(std::fabs(height));
            line += "></td>";
          }
        }
      }
    }
    line += "</table><br><br>";
    report.WriteLine(line);
  } catch (...) {
    ReportCurrentFailure(context, "Error: ");
  }
}

}  // namespace zarel
