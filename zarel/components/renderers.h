// The renderers: one per component type, each turning one recordset into
// one section of the open report page.
//
// Every renderer takes the engine's services (context), the open report
// file, the recordset (the engine's working recordset; it may be empty when
// the data gate got none), the component's caption and its number, then the
// arguments of its type. Each catches its own failures, reports them through
// the context, and returns normally, so a failing component never stops the
// rest of the page.
#ifndef ZAREL_COMPONENTS_RENDERERS_H_
#define ZAREL_COMPONENTS_RENDERERS_H_

#include <cstdint>
#include <memory>
#include <string>

#include "zarel/base/text_file.h"
#include "zarel/components/render_context.h"
#include "zarel/db/recordset.h"

namespace zarel {

// "header" (labelled) and "htmlinject" (not labelled): the first record.
void RenderRecordForm(RenderContext& context, TextFile& report,
                      std::shared_ptr<Recordset>& recordset, const std::string& caption,
                      std::int32_t component, bool labelled);

// "image": the first record with its pictures saved as files.
void RenderImageRecord(RenderContext& context, TextFile& report,
                       std::shared_ptr<Recordset>& recordset, const std::string& caption,
                       std::int32_t component);

// "thumbnail": a gallery of cards laid out by the thumbnail specification.
void RenderThumbnailGallery(RenderContext& context, TextFile& report,
                            std::shared_ptr<Recordset>& recordset, const std::string& caption,
                            std::int32_t component, const std::string& specification);

// "table": a grid with an optional totals row.
void RenderTotalsGrid(RenderContext& context, TextFile& report,
                      std::shared_ptr<Recordset>& recordset, const std::string& caption,
                      std::int32_t component, const std::string& totals);

// "tablegraph", "tablegraphh", "tablegraphv": a grid with bar graphs.
void RenderTableGraph(RenderContext& context, TextFile& report,
                      std::shared_ptr<Recordset>& recordset, const std::string& caption,
                      std::int32_t component, const std::string& totals,
                      const std::string& graph_field, bool row_graphs, bool total_graphs);

// "barchart": one bar chart per listed column.
void RenderBarChart(RenderContext& context, TextFile& report,
                    std::shared_ptr<Recordset>& recordset, const std::string& caption,
                    std::int32_t component, const std::string& chart_columns);

// "shape": a hierarchical report from the shape command the recordset holds.
void RenderShapeReport(RenderContext& context, TextFile& report,
                       std::shared_ptr<Recordset>& recordset, const std::string& caption,
                       std::int32_t component);

}  // namespace zarel

#endif  // ZAREL_COMPONENTS_RENDERERS_H_
