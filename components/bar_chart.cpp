// bar_chart: not built yet; the renderer writes nothing.
#include "components/renderers.h"
namespace zarel {
void RenderBarChart(RenderContext&, TextFile&, std::shared_ptr<Recordset>&, const std::string&,
                    std::int32_t, const std::string&) {}
}  // namespace zarel
