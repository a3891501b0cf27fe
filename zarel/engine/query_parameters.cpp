// Query parameters and value formatting (see query_parameters.h).
#include "zarel/engine/query_parameters.h"

#include "zarel/base/clock.h"
#include "zarel/base/format.h"
#include "zarel/db/procedure_call.h"
#include "zarel/engine/clsdb_impl.h"
#include "zarel/engine/engine_text.h"

namespace zarel {

using namespace engine_text;

namespace {

// A value inside a quoted SQL string: every apostrophe doubled.
std::string QuoteText(std::string_view value) {
  return " '" + ReplaceAll(value, "'", "''") + "'";
}

// The record key or row ID that the navigation tree put before the first
// separator of the selected node's key. An empty key holds no part (the
// root node has no key), which reads as a failure.
std::string SelectedKeyPart(const TreeView* tree_view) {
  if (tree_view == nullptr) Raise(errc::kObjectNotSet);
  const std::string key = Require(tree_view->SelectedItem()).Key();
  if (key.empty()) Raise(errc::kSubscriptOutOfRange);
  return std::string(FirstPart(key, kTagSeparator));
}

}  // namespace

std::string ApplyQueryParameters(std::string_view keyword, const TreeView* tree_view) {
  std::string argument;
  try {
    const std::string word = LowerAscii(keyword);
    if (word == "text") {
      if (tree_view == nullptr) Raise(errc::kObjectNotSet);
      argument = QuoteText(Require(tree_view->SelectedItem()).Text());
    } else if (word == "today") {
      argument = " '" + Format(Variant(Clock::Now()), "dd Mmm yyyy") + "'";
    } else if (word == "lkey") {
      // The key goes unquoted where it is a number that reaches the
      // procedure exactly as written; anything else ("1, 2", "1e400", a
      // 23-digit code) goes as one quoted text, so a key never splits into
      // several arguments or turns into another number. A record with an
      // empty (Null) key still gives a call without an argument.
      const std::string key = SelectedKeyPart(tree_view);
      argument = key.empty() ? " " : " " + ArgumentLiteral(key);
    } else if (word == "skey") {
      argument = QuoteText(SelectedKeyPart(tree_view));
    }
  } catch (...) {
    // A value that cannot be read gives no argument; the procedure is then
    // called without one.
    argument.clear();
  }
  return argument;
}

std::string FormatValue(const Variant& value, std::string_view type_code,
                        const std::string& date_format) {
  std::string text;
  AppendFormattedValue(text, value, type_code, date_format);
  return text;
}

void AppendFormattedValue(std::string& text, const Variant& value, std::string_view type_code,
                          const std::string& date_format) {
  // Read once for every "Dbl" value of every grid.
  static const FormatPattern kDecimal("#,##,##0.00");
  if (value.IsNull()) {
    text += kNonBreakingSpace;
    return;
  }
  // A number's text holds no blanks to trim and reads back as the same
  // number, so a number goes to the pattern (or out as its text) directly:
  // the result is the one its text would give, without writing, trimming
  // and reading that text again for every cell of a grid.
  if (value.HoldsNumber()) {
    if (type_code == "Dbl") {
      kDecimal.AppendTo(text, value);
      return;
    }
    if (type_code != "Dte") {
      text += value.ToText();
      return;
    }
  }
  const std::string trimmed = TrimBlanks(value.ToText());
  if (type_code == "Dbl") {
    kDecimal.AppendTo(text, Variant(trimmed));
  } else if (type_code == "Dte" && !date_format.empty()) {
    text += Format(Variant(trimmed), date_format);
  } else {
    text += trimmed;
  }
}

Variant NullToZero(const Variant& value) {
  return value.IsNull() ? Variant(std::int16_t{0}) : value;
}

std::int16_t NullToInteger(const Variant& value) {
  return value.IsNull() ? std::int16_t{0} : value.ToInteger();
}

// --- The engine's own entry points ---

std::string clsDB::Impl::ApplyQueryParameters(const std::string& keyword) const {
  return zarel::ApplyQueryParameters(keyword, tree_view_.get());
}

std::string clsDB::Impl::FormatValue(const Variant& value, std::string_view type_code) const {
  return zarel::FormatValue(value, type_code, date_format_);
}

void clsDB::Impl::AppendFormattedValue(std::string& text, const Variant& value,
                                       std::string_view type_code) const {
  zarel::AppendFormattedValue(text, value, type_code, date_format_);
}

Variant clsDB::Impl::NullToZero(const Variant& value) const { return zarel::NullToZero(value); }

}  // namespace zarel
