// One level of the shape report, written by RenderShapedLevel.
//
// RenderShapeReport (renderers.h) runs the component's shape command and
// calls RenderShapedLevel for the top level; every level calls it again for
// each child recordset that its records carry in chapter fields.
#ifndef ZAREL_COMPONENTS_SHAPE_REPORT_H_
#define ZAREL_COMPONENTS_SHAPE_REPORT_H_

#include <cstdint>
#include <memory>

#include "zarel/base/text_file.h"
#include "zarel/base/variant.h"
#include "zarel/components/render_context.h"
#include "zarel/db/recordset.h"

namespace zarel {

// Writes one level: its opening (a cell at level 1, a hidden row deeper
// down), a block holding a table bordered by the level number, a heading row
// in the level's colour, then one line per record, each followed at once by
// the levels of its chapter fields, and "</table></div>". A level without
// records writes nothing. parent_width is the parent's field count + 1 (0 at
// the top), parent_key the parent record's first field (the Integer 0 at the
// top), chapter_number the position of the chapter field among the parent's
// chapter fields, from 1. Failures are not caught here: they end the whole
// report, which reports them.
void RenderShapedLevel(RenderContext& context, const std::shared_ptr<Recordset>& recordset,
                       TextFile& report, std::int16_t parent_width, std::int16_t level,
                       bool hidden, const Variant& parent_key, std::int16_t chapter_number);

}  // namespace zarel

#endif  // ZAREL_COMPONENTS_SHAPE_REPORT_H_
