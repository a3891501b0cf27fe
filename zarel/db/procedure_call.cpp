// Reads "EXEC name arguments" and runs it from XProc or as a function.
#include "zarel/db/procedure_call.h"

#include <cstdint>
#include <limits>
#include <optional>

#include "zarel/base/ascii_text.h"
#include "zarel/base/error.h"
#include "zarel/db/database_values.h"

namespace zarel {

namespace {

class CallReader {
 public:
  explicit CallReader(std::string_view text) : text_(text) {}

  ProcedureCall Read() {
    SkipBlanks();
    if (!EqualIgnoringAsciiCase(text_.substr(pos_, 4), "EXEC")) Fail("expected EXEC");
    pos_ += 4;
    if (pos_ >= text_.size() || !IsSqlSpace(text_[pos_])) Fail("expected a blank after EXEC");
    SkipBlanks();
    ProcedureCall call;
    call.name = ReadName();
    SkipBlanks();
    if (AtEnd()) return call;
    while (true) {
      ReadArgument(call);
      SkipBlanks();
      if (AtEnd()) return call;
      if (text_[pos_] == ';') Fail("a procedure call is a single command; ';' is not allowed");
      if (text_[pos_] != ',') Fail("expected ',' or the end of the command");
      ++pos_;
      SkipBlanks();
      if (AtEnd()) Fail("expected an argument after ','");
    }
  }

 private:
  [[noreturn]] void Fail(const std::string& problem) const {
    Raise(errc::kDatabaseError, "Invalid procedure call at position " + std::to_string(pos_ + 1) + ": " + problem + ".");
  }

  bool AtEnd() const { return pos_ >= text_.size(); }

  void SkipBlanks() {
    while (pos_ < text_.size() && IsSqlSpace(text_[pos_])) ++pos_;
  }

  // A name, optionally qualified: word(.word)*.
  std::string ReadName() {
    const std::size_t start = pos_;
    while (true) {
      if (AtEnd() || !IsWordStart(text_[pos_])) Fail("expected a procedure name");
      while (pos_ < text_.size() && IsWordChar(text_[pos_])) ++pos_;
      if (pos_ < text_.size() && text_[pos_] == '.') {
        ++pos_;
        continue;
      }
      break;
    }
    if (pos_ < text_.size() && !IsSqlSpace(text_[pos_])) {
      if (text_[pos_] == ';') Fail("a procedure call is a single command; ';' is not allowed");
      Fail("expected a blank after the procedure name");
    }
    return std::string(text_.substr(start, pos_ - start));
  }

  void ReadArgument(ProcedureCall& call) {
    const char c = text_[pos_];
    if (c == '\'') {
      call.arguments.emplace_back(ReadString());
    } else if (c == '?') {
      ++pos_;
      call.markers.push_back(call.arguments.size());
      call.arguments.emplace_back(Variant::Null());
    } else if (IsAsciiDigit(c) || c == '-' || c == '+' || c == '.') {
      call.arguments.push_back(ReadNumber());
    } else if (IsWordStart(c)) {
      const std::size_t start = pos_;
      while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
      const std::string_view word = text_.substr(start, pos_ - start);
      call.arguments.push_back(EqualIgnoringAsciiCase(word, "NULL") ? Variant::Null() : Variant(word));
    } else {
      Fail(std::string("unexpected character '") + c + "'");
    }
    if (pos_ < text_.size() && !IsSqlSpace(text_[pos_]) && text_[pos_] != ',' && text_[pos_] != ';') {
      Fail("expected ',' or the end of the command");
    }
  }

  std::string ReadString() {
    const std::size_t start = pos_;
    std::string value;
    ++pos_;
    while (true) {
      if (AtEnd()) {
        pos_ = start;
        Fail("unterminated string");
      }
      const char c = text_[pos_++];
      if (c == '\'') {
        if (pos_ < text_.size() && text_[pos_] == '\'') {
          value += '\'';
          ++pos_;
          continue;
        }
        return value;
      }
      value += c;
    }
  }

  Variant ReadNumber() {
    const std::size_t start = pos_;
    if (text_[pos_] == '-' || text_[pos_] == '+') ++pos_;
    std::size_t digits = 0;
    bool fraction = false;
    while (pos_ < text_.size() && IsAsciiDigit(text_[pos_])) ++pos_, ++digits;
    if (pos_ < text_.size() && text_[pos_] == '.') {
      fraction = true;
      ++pos_;
      while (pos_ < text_.size() && IsAsciiDigit(text_[pos_])) ++pos_, ++digits;
    }
    if (digits == 0) {
      pos_ = start;
      Fail("expected a number");
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      fraction = true;
      ++pos_;
      if (pos_ < text_.size() && (text_[pos_] == '-' || text_[pos_] == '+')) ++pos_;
      if (AtEnd() || !IsAsciiDigit(text_[pos_])) Fail("expected the digits of an exponent");
      while (pos_ < text_.size() && IsAsciiDigit(text_[pos_])) ++pos_;
    }
    const std::string_view number = text_.substr(start, pos_ - start);
    if (!fraction) {
      std::string_view whole = number;
      if (!whole.empty() && whole.front() == '+') whole.remove_prefix(1);
      std::int64_t value = 0;
      const bool negative = !whole.empty() && whole.front() == '-';
      bool fits = whole.size() - (negative ? 1 : 0) <= 18;
      if (fits) {
        for (char d : whole.substr(negative ? 1 : 0)) value = value * 10 + (d - '0');
        if (negative) value = -value;
        if (value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max()) {
          return Variant(static_cast<std::int32_t>(value));
        }
        return Variant(value);
      }
    }
    // The text is a well-formed number here; one that DecimalFromText
    // cannot hold lies beyond the range of a Double and is refused rather
    // than passed on as something else.
    std::optional<Variant> value = DecimalFromText(number);
    if (!value) {
      pos_ = start;
      Raise(errc::kOverflow, "Overflow: the number at position " + std::to_string(pos_ + 1) +
                                 " of the procedure call is beyond the range of a Double.");
    }
    return *value;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

bool IsProcedureCall(std::string_view command) {
  std::size_t pos = 0;
  while (pos < command.size() && IsSqlSpace(command[pos])) ++pos;
  return command.size() > pos + 4 && EqualIgnoringAsciiCase(command.substr(pos, 4), "EXEC") && IsSqlSpace(command[pos + 4]);
}

ProcedureCall ParseProcedureCall(std::string_view command) { return CallReader(command).Read(); }

std::string ArgumentLiteral(std::string_view text) {
  try {
    const ProcedureCall call = ParseProcedureCall("EXEC p " + std::string(text));
    if (call.arguments.size() == 1 && call.markers.empty() && !call.arguments[0].IsNull() &&
        ParameterText(call.arguments[0]) == text) {
      return std::string(text);
    }
  } catch (const RuntimeError&) {
    // Malformed as an argument, or a number beyond the range of a Double.
  }
  std::string literal = "'";
  for (const char c : text) {
    literal += c;
    if (c == '\'') literal += '\'';
  }
  return literal + "'";
}

StatementResult RunProcedureCall(DatabaseDriver& driver, ProcedureCall call,
                                 const std::vector<Variant>& marker_values, bool with_sources) {
  if (marker_values.size() != call.markers.size()) {
    Raise(errc::kDatabaseError, "The call of '" + call.name + "' has " + std::to_string(call.markers.size()) +
                                    " parameter markers but " + std::to_string(marker_values.size()) +
                                    " values were given.");
  }
  for (std::size_t i = 0; i < call.markers.size(); ++i) call.arguments[call.markers[i]] = marker_values[i];
  if (std::optional<std::string> body = driver.FindProcedureBody(call.name)) {
    return driver.RunScript(*body, call.arguments, with_sources);
  }
  if (std::optional<StatementResult> result = driver.RunNativeProcedure(call.name, call.arguments)) {
    return std::move(*result);
  }
  Raise(errc::kDatabaseError, "Could not find stored procedure '" + call.name + "'.");
}

}  // namespace zarel
