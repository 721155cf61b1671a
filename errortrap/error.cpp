#include "errortrap/error.h"

#include <array>
#include <utility>

namespace zarn {

ZarnError::ZarnError(int32_t number, QString source, QString description)
    : number_(number),
      source_(std::move(source)),
      description_(std::move(description)),
      what_(QStringLiteral("%1 %2: %3").arg(number_).arg(source_, description_).toStdString()) {}

namespace {
struct RuntimeErrorRow {
  RuntimeError error;
  const char* text;
};
constexpr std::array kRuntimeErrors{
    RuntimeErrorRow{RuntimeError::InvalidArgument, "Invalid procedure call or argument"},
    RuntimeErrorRow{RuntimeError::Overflow, "Overflow"},
    RuntimeErrorRow{RuntimeError::OutOfMemory, "Out of memory"},
    RuntimeErrorRow{RuntimeError::SubscriptOutOfRange, "Subscript out of range"},
    RuntimeErrorRow{RuntimeError::DivisionByZero, "Division by zero"},
    RuntimeErrorRow{RuntimeError::TypeMismatch, "Type mismatch"},
    RuntimeErrorRow{RuntimeError::FileNotFound, "File not found"},
    RuntimeErrorRow{RuntimeError::InputPastEnd, "Input past end of file"},
    RuntimeErrorRow{RuntimeError::PermissionDenied, "Permission denied"},
    RuntimeErrorRow{RuntimeError::PathFileAccess, "Path/File access error"},
    RuntimeErrorRow{RuntimeError::PathNotFound, "Path not found"},
    RuntimeErrorRow{RuntimeError::ObjectRequired, "Object required"},
    RuntimeErrorRow{RuntimeError::CannotCreateObject, "ActiveX component can't create object"},
    RuntimeErrorRow{RuntimeError::InvalidPicture, "Invalid picture"},
    RuntimeErrorRow{RuntimeError::MachineException, "Unknown Exception"},
};
}  // namespace

QString RuntimeErrorText(RuntimeError e) {
  for (const auto& row : kRuntimeErrors)
    if (row.error == e) return QString::fromLatin1(row.text);
  return QStringLiteral("Application-defined or object-defined error");
}

void Raise(RuntimeError e) { Raise(e, RuntimeErrorText(e)); }

void Raise(RuntimeError e, const QString& description) {
  throw ZarnError(static_cast<int32_t>(e), QStringLiteral("zarn"), description);
}

}  // namespace zarn
