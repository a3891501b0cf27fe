// The thumbnail specification reader of the gallery renderer.
//
// The gallery's option is a small tagged text such as
// "<imagefieldno>1</imagefieldno><columns>4</columns><width>120</width>";
// ReadSpecTag gives the value of one tag.
#ifndef ZAREL_COMPONENTS_THUMBNAIL_GALLERY_H_
#define ZAREL_COMPONENTS_THUMBNAIL_GALLERY_H_

#include <string>
#include <string_view>

#include "zarel/base/variant.h"
#include "zarel/components/render_context.h"

namespace zarel {

// The text between the first opening tag (matched exactly, "<height>") and
// the first closing tag ("</height>"). An absent opening tag gives an empty
// text. A missing closing tag, or one that comes before the opening tag,
// raises ZarelMessage "Error is Specification XML String" (whether or not
// the context is talking) and gives Empty, which reads as 0 and as "".
Variant ReadSpecTag(RenderContext& context, const std::string& specification,
                    std::string_view opening_tag);

}  // namespace zarel

#endif  // ZAREL_COMPONENTS_THUMBNAIL_GALLERY_H_
