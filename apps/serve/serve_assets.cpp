// Finds the embedded front-end files (see serve_assets.h).
#include "apps/serve/serve_assets.h"

#include "apps/serve/serve_security.h"

namespace zarel::serve {

std::optional<Asset> FindAsset(std::string_view name) {
  for (std::size_t i = 0; i < kEmbeddedFileCount; ++i) {
    const EmbeddedFile& file = kEmbeddedFiles[i];
    if (name == file.name) {
      return Asset{std::string_view(reinterpret_cast<const char*>(file.data), file.size),
                   ContentTypeFor(file.name)};
    }
  }
  return std::nullopt;
}

}  // namespace zarel::serve
