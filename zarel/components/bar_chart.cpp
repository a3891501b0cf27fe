// The bar chart ("barchart"): one numeric column drawn as vertical bars made
// of table cells and stretched images, green going up for values of 0 or
// more and red for negative ones, all on one scale (200 pixels for the
// largest magnitude), with the value above each bar, the first field's
// value under it and the scale on the left. A list of several columns gives
// one chart per column, numbered chart number × 10 + position.
//
// A scale of 0 (every value 0 or Null) draws bars of height 0, and the
// record count is not limited to 16 bits, so charts of any size are drawn.
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <string>

#include "zarel/base/error.h"
#include "zarel/components/renderers.h"
#include "zarel/components/section_heading.h"

namespace zarel {

using namespace renderer_text;

namespace {

std::int32_t ChildChartNumber(std::int32_t chart, std::size_t position) {
  const std::int64_t number = std::int64_t{chart} * 10 + static_cast<std::int64_t>(position) + 1;
  if (number > INT32_MAX || number < INT32_MIN) Raise(errc::kOverflow);
  return static_cast<std::int32_t>(number);
}

void DrawChart(RenderContext& context, Recordset& records, std::string& line,
               const std::string& caption, std::int32_t chart, std::int16_t value_ordinal) {
  const std::int64_t record_count = records.RecordCount();
  std::int16_t bar_width =
      Variant(100.0 / static_cast<double>(record_count + 1) - 0.5).ToInteger();
  if (bar_width > 6) bar_width = 6;
  records.MoveFirst();

  FieldCollection& fields = records.Fields();
  if (!caption.empty()) {
    const std::string shown_caption = ApplyCaptionRule(context, caption);
    line += "<table border=1><tr><td><img id='CTL";
    line += ComponentDigits(chart);
    line += "' src='circle.gif'></td><td id='CTLCAP";
    line += ComponentDigits(chart);
    line += "' class=ph>";
    line += shown_caption;
    line += ": ";
    line += fields.Item(value_ordinal).Name();
    line += "</td></table>";
  }
  line += "<br><table cellspacing=0 cellpadding=1 border=0 id='CGR";
  line += ComponentDigits(chart);
  line += "' width=";
  line += std::to_string(Variant(static_cast<double>(record_count + 1) * bar_width).ToLongLong());
  line += "%>";
  line += "<TR><TD VALIGN=TOP ALIGN=RIGHT width=1% class=cal>";

  // The scale: the larger magnitude of the whole-number extremes.
  const Field& value_field = fields.Item(value_ordinal);
  std::int32_t maximum = 0;
  std::int32_t minimum = 0;
  while (!records.Eof()) {
    const Variant value = context.NullToZero(value_field.Value());
    const double number = value.ToDouble();
    if (number > maximum) maximum = value.ToLong();
    if (number < minimum) minimum = value.ToLong();
    records.MoveNext();
  }
  const std::int64_t maximum_magnitude = std::llabs(std::int64_t{maximum});
  const std::int64_t minimum_magnitude = std::llabs(std::int64_t{minimum});
  const std::int64_t scale =
      maximum_magnitude > minimum_magnitude ? maximum_magnitude : minimum_magnitude;
  context.AppendFormattedValue(line, Variant(scale), "Int");
  line += "</TD>";

  // One bar per record, each spanning the bar row and the axis row.
  const std::string bar_cell_opening =
      " <td valign=bottom rowspan=2 width=" + std::to_string(bar_width) + "% ><p class=cdv>";
  records.MoveFirst();
  while (!records.Eof()) {
    const double number = context.NullToZero(value_field.Value()).ToDouble();
    line += bar_cell_opening;
    if (number != 0) context.AppendFormattedValue(line, Variant(Variant(number).ToLong()), "Int");
    const double height =
        scale == 0 ? 0.0 : std::fabs(number) / static_cast<double>(scale) * 200;
    line += number < 0 ? "<img src='cbr.gif' width=100% height="
                       : "<img src='cbg.gif' width=100% height=";
    line += std::to_string(Variant(height).ToInteger());
    line += "></td>";
    records.MoveNext();
  }

  records.MoveFirst();
  line += "</tr><tr><td valign=bottom align=right class=cal>0</td></tr>";
  line += "<tr><td align=right valign=bottom class=cal></td>";

  // The labels: the first field's values as they are stored.
  records.MoveFirst();
  const Field& label_field = fields.Item(0);
  while (!records.Eof()) {
    line += "<td class=cal>";
    line += label_field.Value().TextOrEmpty();
    line += "</td>";
    records.MoveNext();
  }
  line += "</tr></table>";
}

}  // namespace

void RenderBarChart(RenderContext& context, TextFile& report,
                    std::shared_ptr<Recordset>& recordset, const std::string& caption,
                    std::int32_t component, const std::string& chart_columns) {
  try {
    std::string list = TrimBlanks(chart_columns);
    Recordset& records = RequireRecordset(recordset);
    if (records.RecordCount() == 0) {
      if (context.Talking()) context.ZarelMessage("Blank Recordset: " + caption);
      return;
    }
    if (LowerAscii(list) == "all") {
      const int field_count = records.Fields().Count();
      // A single field leaves nothing to chart.
      if (field_count < 2) Raise(errc::kInvalidProcedureCall);
      list = AllButFirstOrdinals(field_count);
    }
    const std::vector<std::string> entries = SplitText(list, ':');
    if (entries.size() >= 2) {
      for (std::size_t position = 0; position < entries.size(); ++position) {
        RenderBarChart(context, report, recordset, caption,
                       ChildChartNumber(component, position), entries[position]);
      }
      return;
    }

    const std::int16_t value_ordinal = Variant(list).ToInteger();
    std::string line;
    if (records.RecordCount() > 0) {
      DrawChart(context, records, line, caption, component, value_ordinal);
    }
    line += "<br>";
    report.WriteLine(line);
  } catch (...) {
    ReportCurrentFailure(context, "Error: ");
  }
}

}  // namespace zarel
