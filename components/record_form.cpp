// record_form: not built yet; the renderer writes nothing.
#include "components/renderers.h"
namespace zarel {
void RenderRecordForm(RenderContext&, TextFile&, std::shared_ptr<Recordset>&, const std::string&,
                      std::int32_t, bool) {}
}  // namespace zarel
