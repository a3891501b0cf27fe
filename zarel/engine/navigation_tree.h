// The navigation tree's two pure rules: which users may open a node, and
// the text colour of a node by its kind. OpenNode and PruneSiblings, which
// work on the engine's state, are members of the engine (clsdb_impl.h).
#ifndef ZAREL_ENGINE_NAVIGATION_TREE_H_
#define ZAREL_ENGINE_NAVIGATION_TREE_H_

#include <cstdint>
#include <string_view>

#include "zarel/base/variant.h"

namespace zarel {

// Node text colours, blue-green-red.
inline constexpr std::int32_t kFixedColour = 255;           // red
inline constexpr std::int32_t kVariableColour = 0xFF0000;   // blue
inline constexpr std::int32_t kTreeColour = 0x7500;         // dark green
inline constexpr std::int32_t kOtherColour = 0;             // black

// True when the role list (role numbers separated by ":") is empty or one
// of its entries equals user_role numerically (" 2" equals 2). An entry
// that is no number raises 13.
bool RoleAllowed(std::string_view role_list, std::int16_t user_role);

// The colour of a node by the first letter of its kind text, in either
// case: "f" red, "v" blue, "t" dark green, anything else (leaf "l" and an
// empty kind too) black. Always a Long.
Variant NodeColour(std::string_view kind);

}  // namespace zarel

#endif  // ZAREL_ENGINE_NAVIGATION_TREE_H_
