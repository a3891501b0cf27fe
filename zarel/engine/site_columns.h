// The positions of the site tables' columns: the engine reads XNav and XWeb
// by position only, counting from 0, whatever the columns are called. One
// list for the engine and for the tools that read the tables as it does
// (zarel check). Not installed.
#ifndef ZAREL_ENGINE_SITE_COLUMNS_H_
#define ZAREL_ENGINE_SITE_COLUMNS_H_

#include <cstddef>

namespace zarel {

// XNav: one row per node of the tree.
namespace nav_column {
inline constexpr std::size_t kId = 0;
inline constexpr std::size_t kCaption = 1;
inline constexpr std::size_t kKind = 2;
inline constexpr std::size_t kParent = 3;
inline constexpr std::size_t kProcedure = 4;
inline constexpr std::size_t kParameter = 5;
inline constexpr std::size_t kImage = 6;
inline constexpr std::size_t kRoles = 7;
inline constexpr std::size_t kCount = 8;  // every node's opening reads them all
}  // namespace nav_column

// XWeb: one row per component of a page.
namespace web_column {
inline constexpr std::size_t kComponent = 0;
inline constexpr std::size_t kNode = 1;
inline constexpr std::size_t kPosition = 2;
inline constexpr std::size_t kCaption = 3;
inline constexpr std::size_t kProcedure = 4;
inline constexpr std::size_t kParameter = 5;
inline constexpr std::size_t kType = 6;
inline constexpr std::size_t kFirstOption = 7;
inline constexpr std::size_t kSecondOption = 8;
inline constexpr std::size_t kRead = 7;  // every component reads columns 0 to 6
}  // namespace web_column

}  // namespace zarel

#endif  // ZAREL_ENGINE_SITE_COLUMNS_H_
