// Fuzzes the reader of procedure calls ("EXEC name arg, ...") and the
// literal that passes a text as one argument.
// Properties: reading fails only with RuntimeError; a call that reads has a
// name and its markers point at its arguments; ArgumentLiteral of any text
// reads back as exactly one argument holding that very text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "zarel/base/error.h"
#include "zarel/db/database_values.h"
#include "zarel/db/procedure_call.h"

using namespace zarel;

namespace {

std::string TextOf(const Variant& value) {
  return value.Type() == VarType::kString ? value.AsString() : ParameterText(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const ProcedureCall call = ParseProcedureCall(text);
    fuzz::Check(!call.name.empty(), "a call names its procedure", text);
    for (std::size_t marker : call.markers) {
      fuzz::Check(marker < call.arguments.size(), "markers point at arguments", text);
    }
  } catch (const RuntimeError&) {
  }
  const std::string literal = ArgumentLiteral(text);
  try {
    const ProcedureCall call = ParseProcedureCall("EXEC p " + literal);
    fuzz::Check(call.arguments.size() == 1 && call.markers.empty(),
                "a literal is exactly one argument", literal);
    fuzz::Check(TextOf(call.arguments[0]) == text, "a literal holds the very text", literal);
  } catch (const RuntimeError& error) {
    fuzz::Check(false, "a literal always reads", literal + "\n" + error.Description());
  }
  return 0;
}
