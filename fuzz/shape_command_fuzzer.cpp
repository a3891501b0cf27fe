// Fuzzes the reader of shape commands.
// Properties: reading fails only with RuntimeError (a malformed command, or
// one nested too deep); a command that reads is nested no deeper than the
// bound, and every child has a command or a shape and at least one
// relation.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "zarel/base/error.h"
#include "zarel/db/shape_command.h"

using namespace zarel;

namespace {

int DepthOf(const ShapeLevel& level, const std::string& text) {
  int deepest = 0;
  for (const ShapeChild& child : level.children) {
    fuzz::Check(!child.relations.empty(), "a child relates to its parent", text);
    fuzz::Check((child.shape != nullptr) != !child.command.empty(),
                "a child is a command or a shape", text);
    if (child.shape) deepest = std::max(deepest, DepthOf(*child.shape, text));
  }
  return deepest + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const ShapeLevel level = ParseShapeCommand(text);
    fuzz::Check(!level.command.empty(), "the parent has a command", text);
    fuzz::Check(DepthOf(level, text) <= kMaxShapeDepth, "nesting stays within the bound", text);
  } catch (const RuntimeError&) {
  }
  return 0;
}
