// image_record: not built yet; the renderer writes nothing.
#include "components/renderers.h"
namespace zarel {
void RenderImageRecord(RenderContext&, TextFile&, std::shared_ptr<Recordset>&, const std::string&,
                       std::int32_t) {}
}  // namespace zarel
