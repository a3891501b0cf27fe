// The one error type of the system: a numbered run-time error.
//
// Every failure that the engine, the renderers, the database library and
// the host kit report is a RuntimeError with its error number and
// description; handlers build their message from it ("Error: 13, Type
// mismatch"). Below is the one list of every number the system raises;
// StandardDescription() gives their fixed texts.
//
// Threads: RuntimeError is a value; the functions here keep no state and may
// be called from any thread.
#ifndef ZAREL_BASE_ERROR_H_
#define ZAREL_BASE_ERROR_H_

#include <stdexcept>
#include <string>
#include <string_view>

namespace zarel {

namespace errc {
inline constexpr int kInvalidProcedureCall = 5;
inline constexpr int kOverflow = 6;
inline constexpr int kOutOfMemory = 7;
inline constexpr int kSubscriptOutOfRange = 9;
inline constexpr int kDivisionByZero = 11;
inline constexpr int kTypeMismatch = 13;
inline constexpr int kBadFileNameOrNumber = 52;
inline constexpr int kFileNotFound = 53;
inline constexpr int kPathFileAccessError = 75;
inline constexpr int kPathNotFound = 76;
inline constexpr int kObjectNotSet = 91;
inline constexpr int kInvalidUseOfNull = 94;
// A saved form file that cannot be read as one; the description names the
// file, the line and what is wrong.
inline constexpr int kInvalidFileFormat = 321;
inline constexpr int kSetNotSupportedAtRuntime = 382;
inline constexpr int kGetNotSupportedAtRuntime = 393;
// A property or method that an object does not have.
inline constexpr int kMemberNotSupported = 438;
inline constexpr int kNoCurrentRecord = 3021;
inline constexpr int kItemNotFound = 3265;
inline constexpr int kNotAllowedInContext = 3219;
inline constexpr int kAlreadyInCollection = 3367;
inline constexpr int kObjectClosed = 3704;
inline constexpr int kObjectOpen = 3705;
inline constexpr int kConnectionNotUsable = 3709;
inline constexpr int kIndexOutOfBounds = 35600;
inline constexpr int kKeyNotUnique = 35602;
// The user cancelled a dialog that a command needed (a host's save or print
// dialog); nothing was done.
inline constexpr int kCancelled = 32755;
// A failure reported by a database server or driver; the description holds
// the server's own text.
inline constexpr int kDatabaseError = -2147467259;
// A failure that is not one of the platform's numbered errors (out of
// memory, a failure of the standard library).
inline constexpr int kInternalError = 51;
}  // namespace errc

// The fixed description of a numbered error, or "Application-defined or
// object-defined error" for a number the platform does not name.
std::string StandardDescription(int number);

class RuntimeError : public std::runtime_error {
 public:
  // An error with its standard description.
  explicit RuntimeError(int number);
  RuntimeError(int number, std::string description);

  int Number() const { return number_; }
  const std::string& Description() const { return description_; }

 private:
  int number_;
  std::string description_;
};

[[noreturn]] void Raise(int number);
[[noreturn]] void Raise(int number, std::string description);

// Inside a catch block: the exception being handled as a RuntimeError. A
// RuntimeError comes back unchanged; std::bad_alloc becomes error 7 "Out of
// memory"; any other exception becomes kInternalError with its what() text.
RuntimeError CurrentError();

// The text the system's handlers report: prefix, the number in decimal,
// ", " and the description ("Error: " gives "Error: 13, Type mismatch").
std::string ErrorText(std::string_view prefix, const RuntimeError& error);

}  // namespace zarel

#endif  // ZAREL_BASE_ERROR_H_
