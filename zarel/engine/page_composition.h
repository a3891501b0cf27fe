// The component types of XWeb column 6 and the dispatch from each to its
// renderer, for page composition (ComposePage, a member of the engine).
//
//   "header"      RenderRecordForm, labelled
//   "htmlinject"  RenderRecordForm, not labelled
//   "image"       RenderImageRecord
//   "thumbnail"   RenderThumbnailGallery, option 1 as text (Null: "")
//   "table"       RenderTotalsGrid, totals: option 1 through FormatValue " "
//   "tablegraphh" RenderTableGraph, options 1 and 2 through FormatValue " ",
//                 row graphs
//   "tablegraphv" the same, total graphs
//   "tablegraph"  the same, row and total graphs
//   "barchart"    RenderBarChart, columns: option 1 through FormatValue " "
//   "shape"       RenderShapeReport
//   "execute"     nothing: the procedure ran for its effect
// Any other type renders nothing either.
#ifndef ZAREL_ENGINE_PAGE_COMPOSITION_H_
#define ZAREL_ENGINE_PAGE_COMPOSITION_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "zarel/base/text_file.h"
#include "zarel/base/variant.h"
#include "zarel/components/render_context.h"
#include "zarel/components/renderers.h"
#include "zarel/db/recordset.h"

namespace zarel {

// What a renderer receives of its component row besides the recordset.
struct ComponentRow {
  std::string caption;         // column 3, Null read as ""
  std::int32_t number = 0;     // column 0
  Variant first_option;        // column 7
  Variant second_option;       // column 8
};

// The renderers the dispatch reaches: the real ones unless a test puts its
// own in their place.
struct ComponentRenderers {
  decltype(&RenderRecordForm) record_form = &RenderRecordForm;
  decltype(&RenderImageRecord) image_record = &RenderImageRecord;
  decltype(&RenderThumbnailGallery) thumbnail_gallery = &RenderThumbnailGallery;
  decltype(&RenderTotalsGrid) totals_grid = &RenderTotalsGrid;
  decltype(&RenderTableGraph) table_graph = &RenderTableGraph;
  decltype(&RenderBarChart) bar_chart = &RenderBarChart;
  decltype(&RenderShapeReport) shape_report = &RenderShapeReport;
};

// How many option columns (7, then 8) the component type reads: 2 for the
// table graphs, 1 for "thumbnail", "table" and "barchart", 0 otherwise.
int OptionsRead(std::string_view type);

// Calls the renderer of a component type (trimmed, in lower case) with the
// row's arguments. False when the type has none ("execute", unknown types):
// nothing is written then.
bool RenderComponent(std::string_view type, RenderContext& context, TextFile& report,
                     std::shared_ptr<Recordset>& recordset, const ComponentRow& row,
                     const ComponentRenderers& renderers = ComponentRenderers());

}  // namespace zarel

#endif  // ZAREL_ENGINE_PAGE_COMPOSITION_H_
