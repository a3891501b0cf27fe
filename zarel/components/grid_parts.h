// The pieces that the totals grid and the table graph share: the columns of
// a grid with their cell openings and type codes, the heading and data rows,
// and the totals list with its running totals and its totals row.
#ifndef ZAREL_COMPONENTS_GRID_PARTS_H_
#define ZAREL_COMPONENTS_GRID_PARTS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zarel/base/error.h"
#include "zarel/components/render_context.h"
#include "zarel/components/section_heading.h"
#include "zarel/db/recordset.h"

namespace zarel {

// One column of a grid, looked up once per call rather than once per row.
struct GridColumn {
  const Field* field;
  TypeGroup group;
  std::string_view type_code;
  std::string_view cell_opening;  // "<td align=right class=ttd>" or "...left..."
};

std::vector<GridColumn> GridColumnsOf(const FieldCollection& fields);

// Appends "<td class=tth>", the name and "</td>" for every column.
void AppendHeadingCells(std::string& line, const std::vector<GridColumn>& columns);

// The totals list of a grid: the component's option, trimmed; "all" (any
// case) stands for every field but the first; the entries are the parts
// between ":" read as 16-bit field ordinals. Each entry has a running
// total, starting at 0.
class TotalsList {
 public:
  TotalsList(const std::string& option, int field_count);

  // False when the option was Null (a single non-breaking space).
  bool Wanted() const { return wanted_; }
  bool HasEntries() const { return !entries_.empty(); }
  // True when data rows add to the totals.
  bool Accumulating() const { return wanted_ && !entries_.empty(); }

  // Adds a value (Null counting as 0) to the total of every entry naming
  // the ordinal; an entry listed twice is summed twice. Raises when an entry
  // is no whole number or the value no number.
  void Add(int ordinal, const Variant& value, const RenderContext& context);

  // The entries naming the ordinal, in list order (their positions). Raises
  // the conversion error of an entry that is no whole number.
  const std::vector<std::size_t>& EntriesOf(int ordinal) const;
  double Total(std::size_t entry) const { return totals_[entry]; }

 private:
  void RequireValidEntries() const;

  bool wanted_ = false;
  std::vector<std::string> entries_;
  std::vector<double> totals_;
  // For each field ordinal, the entries that name it.
  std::vector<std::vector<std::size_t>> entries_by_ordinal_;
  std::optional<RuntimeError> invalid_entry_;
};

// Appends the totals row's cells for the fields 1 to n-1: for each entry
// naming the field, its total formatted with "Dbl" (decimal group) or "Int"
// (integer group), or blank_cell for a field of any other type; blank_cell
// alone for a field no entry names. on_total sees every listed entry's total
// on the way, in order.
template <class OnTotal>
void AppendTotalCells(std::string& line, const TotalsList& list,
                      const std::vector<GridColumn>& columns, const RenderContext& context,
                      std::string_view blank_cell, OnTotal on_total) {
  for (std::size_t ordinal = 1; ordinal < columns.size(); ++ordinal) {
    const std::vector<std::size_t>& entries = list.EntriesOf(static_cast<int>(ordinal));
    if (entries.empty()) {
      line += blank_cell;
      continue;
    }
    for (std::size_t entry : entries) {
      const double total = list.Total(entry);
      on_total(total);
      const TypeGroup group = columns[ordinal].group;
      if (group == TypeGroup::kDecimal || group == TypeGroup::kInteger) {
        line += "<td align=right class=ttf>";
        context.AppendFormattedValue(line, Variant(total), TypeCodeOf(group));
        line += "</td>";
      } else {
        line += blank_cell;
      }
    }
  }
}

}  // namespace zarel

#endif  // ZAREL_COMPONENTS_GRID_PARTS_H_
