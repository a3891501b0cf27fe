// RuntimeError, the numbered error of the system, and the fixed texts of
// the numbers the platform raises.
#include "zarel/base/error.h"

#include <exception>
#include <new>
#include <utility>

namespace zarel {

namespace {

constexpr std::string_view kUnnamedError = "Application-defined or object-defined error";

struct NamedError {
  int number;
  std::string_view text;
};

constexpr NamedError kNamedErrors[] = {
    {errc::kInvalidProcedureCall, "Invalid procedure call or argument"},
    {errc::kOverflow, "Overflow"},
    {errc::kOutOfMemory, "Out of memory"},
    {errc::kSubscriptOutOfRange, "Subscript out of range"},
    {errc::kDivisionByZero, "Division by zero"},
    {errc::kTypeMismatch, "Type mismatch"},
    {errc::kInternalError, "Internal error"},
    {errc::kBadFileNameOrNumber, "Bad file name or number"},
    {errc::kFileNotFound, "File not found"},
    {errc::kPathFileAccessError, "Path/File access error"},
    {errc::kPathNotFound, "Path not found"},
    {errc::kObjectNotSet, "Object variable or With block variable not set"},
    {errc::kInvalidUseOfNull, "Invalid use of Null"},
    {errc::kInvalidFileFormat, "Invalid file format"},
    {errc::kSetNotSupportedAtRuntime, "Set not supported at runtime"},
    {errc::kGetNotSupportedAtRuntime, "Get not supported at runtime"},
    {errc::kMemberNotSupported, "Object doesn't support this property or method"},
    {errc::kNoCurrentRecord,
     "Either BOF or EOF is True, or the current record has been deleted. Requested "
     "operation requires a current record."},
    {errc::kNotAllowedInContext, "Operation is not allowed in this context."},
    {errc::kItemNotFound,
     "Item cannot be found in the collection corresponding to the requested name or "
     "ordinal."},
    {errc::kAlreadyInCollection, "Object is already in collection. Cannot append."},
    {errc::kObjectClosed, "Operation is not allowed when the object is closed."},
    {errc::kObjectOpen, "Operation is not allowed when the object is open."},
    {errc::kConnectionNotUsable,
     "The connection cannot be used to perform this operation. It is either closed or "
     "invalid in this context."},
    {errc::kIndexOutOfBounds, "Index out of bounds"},
    {errc::kKeyNotUnique, "Key is not unique in collection"},
    {errc::kCancelled, "Cancel was selected."},
    {errc::kDatabaseError, "Unspecified error"},
};

}  // namespace

std::string StandardDescription(int number) {
  for (const NamedError& named : kNamedErrors) {
    if (named.number == number) return std::string(named.text);
  }
  return std::string(kUnnamedError);
}

RuntimeError::RuntimeError(int number) : RuntimeError(number, StandardDescription(number)) {}

RuntimeError::RuntimeError(int number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

void Raise(int number) { throw RuntimeError(number); }

void Raise(int number, std::string description) {
  throw RuntimeError(number, std::move(description));
}

RuntimeError CurrentError() {
  if (!std::current_exception()) return RuntimeError(errc::kInternalError);
  try {
    throw;
  } catch (const RuntimeError& error) {
    return error;
  } catch (const std::bad_alloc&) {
    return RuntimeError(errc::kOutOfMemory);
  } catch (const std::exception& error) {
    return RuntimeError(errc::kInternalError, error.what());
  } catch (...) {
    return RuntimeError(errc::kInternalError);
  }
}

std::string ErrorText(std::string_view prefix, const RuntimeError& error) {
  std::string text(prefix);
  text += std::to_string(error.Number());
  text += ", ";
  text += error.Description();
  return text;
}

}  // namespace zarel
