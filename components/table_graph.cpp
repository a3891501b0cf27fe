// table_graph: not built yet; the renderer writes nothing.
#include "components/renderers.h"
namespace zarel {
void RenderTableGraph(RenderContext&, TextFile&, std::shared_ptr<Recordset>&, const std::string&,
                      std::int32_t, const std::string&, const std::string&, bool, bool) {}
}  // namespace zarel
