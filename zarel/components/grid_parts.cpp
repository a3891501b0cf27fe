// Columns, heading cells and the totals list shared by the grids.
#include "zarel/components/grid_parts.h"

namespace zarel {

using namespace renderer_text;

std::vector<GridColumn> GridColumnsOf(const FieldCollection& fields) {
  std::vector<GridColumn> columns;
  columns.reserve(static_cast<std::size_t>(fields.Count()));
  for (const Field& field : fields) {
    const TypeGroup group = TypeGroupOf(field.Type());
    columns.push_back(GridColumn{&field, group, TypeCodeOf(group),
                                 IsRightAligned(group) ? "<td align=right class=ttd>"
                                                       : "<td align=left class=ttd>"});
  }
  return columns;
}

void AppendHeadingCells(std::string& line, const std::vector<GridColumn>& columns) {
  for (const GridColumn& column : columns) {
    line += "<td class=tth>";
    line += column.field->Name();
    line += "</td>";
  }
}

TotalsList::TotalsList(const std::string& option, int field_count) {
  std::string list = TrimBlanks(option);
  wanted_ = list != kNbsp;
  if (!wanted_) return;
  if (LowerAscii(list) == "all") list = AllButFirstOrdinals(field_count);
  entries_ = SplitText(list, ':');
  totals_.assign(entries_.size(), 0.0);
  entries_by_ordinal_.resize(static_cast<std::size_t>(field_count > 0 ? field_count : 0));
  for (std::size_t entry = 0; entry < entries_.size(); ++entry) {
    try {
      const int ordinal = Variant(entries_[entry]).ToInteger();
      if (ordinal >= 0 && ordinal < field_count) {
        entries_by_ordinal_[static_cast<std::size_t>(ordinal)].push_back(entry);
      }
    } catch (const RuntimeError& error) {
      // Reported where the entry is first compared with a field ordinal.
      if (!invalid_entry_) invalid_entry_ = error;
    }
  }
}

void TotalsList::RequireValidEntries() const {
  if (invalid_entry_) throw *invalid_entry_;
}

void TotalsList::Add(int ordinal, const Variant& value, const RenderContext& context) {
  RequireValidEntries();
  const std::vector<std::size_t>& entries = entries_by_ordinal_[static_cast<std::size_t>(ordinal)];
  if (entries.empty()) return;
  // NullToZero gives back every value but Null as it is, so only a Null
  // needs to go through it.
  const double addend = value.IsNull() ? context.NullToZero(value).ToDouble() : value.ToDouble();
  for (std::size_t entry : entries) totals_[entry] += addend;
}

const std::vector<std::size_t>& TotalsList::EntriesOf(int ordinal) const {
  static const std::vector<std::size_t> kNone;
  RequireValidEntries();
  if (ordinal < 0 || static_cast<std::size_t>(ordinal) >= entries_by_ordinal_.size()) return kNone;
  return entries_by_ordinal_[static_cast<std::size_t>(ordinal)];
}

}  // namespace zarel
