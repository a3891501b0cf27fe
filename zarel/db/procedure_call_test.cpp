// Procedure calls read from their text: the values their arguments become,
// numbers beyond the range of a Double, and the literal that passes a text
// as exactly one argument.
#include "zarel/db/procedure_call.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "zarel/base/error.h"
#include "zarel/db/database_values.h"

namespace zarel {
namespace {

// The one argument of "EXEC p " + argument, as its type name and its exact
// text.
std::string OneArgument(const std::string& argument) {
  const ProcedureCall call = ParseProcedureCall("EXEC p " + argument);
  if (call.arguments.size() != 1) return std::to_string(call.arguments.size()) + " arguments";
  const Variant& value = call.arguments[0];
  switch (value.Type()) {
    case VarType::kNull:
      return "Null";
    case VarType::kLong:
      return "Long " + ParameterText(value);
    case VarType::kLongLong:
      return "LongLong " + ParameterText(value);
    case VarType::kCurrency:
      return "Currency " + ParameterText(value);
    case VarType::kDouble:
      return "Double " + ParameterText(value);
    case VarType::kString:
      return "String " + value.AsString();
    default:
      return "other";
  }
}

TEST(ProcedureCallTest, ArgumentsBecomeValues) {
  const std::pair<const char*, const char*> cases[] = {
      {"17", "Long 17"},
      {"-2147483648", "Long -2147483648"},
      {"2147483648", "LongLong 2147483648"},
      {"999999999999999999", "LongLong 999999999999999999"},
      {"2.5", "Currency 2.5"},
      {"1e3", "Currency 1000"},
      {"0.00001", "Double 1e-05"},
      {"1e308", "Double 1e+308"},
      {"-1.7976931348623157e308", "Double -1.7976931348623157e+308"},
      // Too small for a Double: the nearest Double, zero.
      {"1e-400", "Double 0"},
      {"-1e-400", "Double -0"},
      {"'1, 2'", "String 1, 2"},
      {"'O''Brien'", "String O'Brien"},
      {"abc", "String abc"},
      {"NULL", "Null"},
  };
  for (const auto& [argument, expected] : cases) {
    EXPECT_EQ(OneArgument(argument), expected) << argument;
  }
}

// Numbers beyond the range of a Double once arrived as 0; they are refused
// with the overflow error, naming where the number starts.
TEST(ProcedureCallTest, NumbersBeyondTheRangeOfADoubleOverflow) {
  const std::string four_hundred_digits(400, '9');
  const std::pair<std::string, int> cases[] = {
      {"EXEC p 1e309", 8},
      {"EXEC p -1e309", 8},
      {"EXEC p 1.8e308", 8},
      {"EXEC p 1, " + four_hundred_digits, 11},
      {"EXEC p -" + four_hundred_digits + ".5", 8},
      {"EXEC p 0.000001e400", 8},
  };
  for (const auto& [command, position] : cases) {
    try {
      ParseProcedureCall(command);
      ADD_FAILURE() << command;
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.Number(), errc::kOverflow) << command;
      EXPECT_EQ(error.Description(), "Overflow: the number at position " +
                                         std::to_string(position) +
                                         " of the procedure call is beyond the range of a Double.")
          << command;
    }
  }
}

// The literal that passes a text as exactly one argument: the text itself
// where it reads as one argument written back the same, otherwise a quoted
// string holding the text.
TEST(ProcedureCallTest, ArgumentLiteralIsExactlyOneArgument) {
  const std::pair<const char*, const char*> cases[] = {
      {"17", "17"},
      {"-5", "-5"},
      {"2.5", "2.5"},
      {"0.1", "0.1"},
      {"9000000000", "9000000000"},
      {"1, 2", "'1, 2'"},
      {"1e400", "'1e400'"},
      {"1e3", "'1e3'"},
      {"12345678901234567890123", "'12345678901234567890123'"},
      {"007", "'007'"},
      {"+5", "'+5'"},
      {"2.50", "'2.50'"},
      {"-0", "'-0'"},
      {"O'Brien", "'O''Brien'"},
      {"Smith", "Smith"},
      {"A_1", "A_1"},
      {"Smith Jones", "'Smith Jones'"},
      {" 17", "' 17'"},
      {"'17'", "'''17'''"},
      {"NULL", "'NULL'"},
      {"?", "'?'"},
      {"x; DROP TABLE t", "'x; DROP TABLE t'"},
      {"", "''"},
  };
  for (const auto& [text, literal] : cases) {
    EXPECT_EQ(ArgumentLiteral(text), literal) << text;
    // And the literal reads back as one argument holding the text.
    const ProcedureCall call = ParseProcedureCall(std::string("EXEC p ") + literal);
    ASSERT_EQ(call.arguments.size(), 1u) << text;
    const Variant& value = call.arguments[0];
    EXPECT_EQ(value.Type() == VarType::kString ? value.AsString() : ParameterText(value), text);
  }
}

}  // namespace
}  // namespace zarel
