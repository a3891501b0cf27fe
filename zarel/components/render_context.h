// RenderContext: what a renderer needs of the report engine.
//
// The renderers turn one recordset into one section of the report page.
// Besides the open report file and the recordset they need a few services of
// the engine: whether it is talking, its message event, the selected tree
// node's text (for captions ending in "+"), value formatting by type code,
// the data gate (the shape report runs a query of its own) and the
// application folder (the image record saves pictures there). The engine
// implements this interface, so the renderers do not depend on the engine's
// class.
#ifndef ZAREL_COMPONENTS_RENDER_CONTEXT_H_
#define ZAREL_COMPONENTS_RENDER_CONTEXT_H_

#include <memory>
#include <string>
#include <string_view>

#include "zarel/base/variant.h"
#include "zarel/db/recordset.h"

namespace zarel {

class RenderContext {
 public:
  virtual ~RenderContext() = default;

  virtual bool Talking() const = 0;
  // Raises the engine's ZarelMessage event.
  virtual void ZarelMessage(const std::string& message) = 0;
  // The Text of the tree view's selected node; raises RuntimeError (91) when
  // there is no tree view or no selected node.
  virtual std::string SelectedNodeText() const = 0;
  // The engine's FormatValue: the value's trimmed text by type code ("Dbl",
  // "Int", "Dte", "Htm", " "); Null gives a non-breaking space.
  virtual std::string FormatValue(const Variant& value, std::string_view type_code) const = 0;
  // FormatValue appended to text: the renderers build every line in one
  // string, cell after cell.
  virtual void AppendFormattedValue(std::string& text, const Variant& value,
                                    std::string_view type_code) const {
    text += FormatValue(value, type_code);
  }
  // The engine's NullToZero: the Integer 0 for Null, otherwise the value.
  virtual Variant NullToZero(const Variant& value) const = 0;
  // The engine's data gate: fills recordset with the query's rows and
  // answers whether the caller may read it.
  virtual bool FetchRecordset(const std::string& query, std::shared_ptr<Recordset>& recordset) = 0;
  // The engine's ApplicationFolder, unchanged.
  virtual Variant ApplicationFolder() const = 0;
};

}  // namespace zarel

#endif  // ZAREL_COMPONENTS_RENDER_CONTEXT_H_
