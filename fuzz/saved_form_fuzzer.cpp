// Fuzzes the reader of saved form files.
// Properties: reading fails only with RuntimeError (321 for a damaged
// form); a form that reads is written out and read back to the same
// controls, names and values.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "zarel/base/error.h"
#include "zarel/hostkit/saved_form.h"

using namespace zarel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  SavedForm form;
  try {
    form = ParseSavedForm(text, "fuzz.form");
  } catch (const RuntimeError& error) {
    fuzz::Check(error.Number() == errc::kInvalidFileFormat, "a damaged form is 321",
                error.Description());
    return 0;
  }
  const std::string written = FormatSavedForm(form);
  const SavedForm back = ParseSavedForm(written, "written.form");
  fuzz::Check(FormatSavedForm(back) == written, "a form reads back as written", written);
  fuzz::Check(back.controls.size() == form.controls.size(), "every control comes back", written);
  return 0;
}
