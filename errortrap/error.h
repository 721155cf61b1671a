#pragma once
// The one error type of the program: what a failing statement raises and what
// every procedure's trap catches. It carries the classic run-time error triple
// (number, source, description); the trap adds the location when it reports it.
#include <QString>
#include <cstdint>
#include <exception>
#include <string>

namespace zarn {

class ZarnError : public std::exception {
 public:
  ZarnError(int32_t number, QString source, QString description);
  int32_t number() const { return number_; }
  const QString& source() const { return source_; }
  const QString& description() const { return description_; }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  int32_t number_;
  QString source_;
  QString description_;
  std::string what_;
};

// Run-time errors that the platform's own statements raise, with the texts
// users and stored error logs know them by.
enum class RuntimeError : int32_t {
  InvalidArgument = 5,     // "Invalid procedure call or argument"
  Overflow = 6,            // "Overflow"
  OutOfMemory = 7,         // "Out of memory"
  SubscriptOutOfRange = 9, // "Subscript out of range"
  DivisionByZero = 11,     // "Division by zero"
  TypeMismatch = 13,       // "Type mismatch"
  FileNotFound = 53,       // "File not found"
  InputPastEnd = 62,       // "Input past end of file"
  PermissionDenied = 70,   // "Permission denied"
  PathFileAccess = 75,     // "Path/File access error"
  PathNotFound = 76,       // "Path not found"
  ObjectRequired = 424,    // "Object required"
  CannotCreateObject = 429,// "ActiveX component can't create object"
  InvalidPicture = 481,    // "Invalid picture"
  MachineException = 65535,
};

// The description of a run-time error number ("Overflow" for 6).
QString RuntimeErrorText(RuntimeError e);

// Raises a run-time error with the program's name as its source.
[[noreturn]] void Raise(RuntimeError e);
[[noreturn]] void Raise(RuntimeError e, const QString& description);

}  // namespace zarn
