#include <algorithm>
#include <array>

#include "errortrap/exception_guard.h"

namespace zarn {

namespace {
struct ExceptionRow {
  uint32_t code;
  const char* text;
};
constexpr std::array kExceptionTexts{
    ExceptionRow{0x80000001u, "Exception: Guard Page"},
    ExceptionRow{0x80000002u, "Exception: Datatype Misalignment"},
    ExceptionRow{0x80000003u, "Exception: Breakpoint"},
    ExceptionRow{0x80000004u, "Exception: Single Step"},
    ExceptionRow{0xC0000005u, "Exception: Access Violation"},
    ExceptionRow{0xC0000006u, "Exception: In Page Error"},
    ExceptionRow{0xC0000008u, "Exception: Invalid Handle"},
    ExceptionRow{0xC000001Du, "Exception: Illegal Instruction"},
    ExceptionRow{0xC0000025u, "Exception: Non Continuable Exception"},
    ExceptionRow{0xC0000026u, "Exception: Invalid Disposition"},
    ExceptionRow{0xC000008Cu, "Exception: Array Bounds Exceeded"},
    ExceptionRow{0xC000008Du, "Exception: Float Denormal Operand"},
    ExceptionRow{0xC000008Eu, "Exception: Float Divide By Zero"},
    ExceptionRow{0xC000008Fu, "Exception: Float Inexact Result"},
    ExceptionRow{0xC0000090u, "Exception: Float Invalid Operation"},
    ExceptionRow{0xC0000091u, "Exception: Float Overflow"},
    ExceptionRow{0xC0000092u, "Exception: Float Stack Check"},
    ExceptionRow{0xC0000093u, "Exception: Float Underflow"},
    ExceptionRow{0xC0000094u, "Exception: Integer Divide By Zero"},
    ExceptionRow{0xC0000095u, "Exception: Integer Overflow"},
    ExceptionRow{0xC0000096u, "Exception: Priv Instruction"},
    ExceptionRow{0xC00000FDu, "Exception: Stack Overflow"},
    ExceptionRow{0xC000013Au, "Exception: Control C Exit"},
};

}  // namespace

QString ExceptionText(uint32_t code) {
  for (const auto& row : kExceptionTexts)
    if (row.code == code) return QString::fromLatin1(row.text);
  return QStringLiteral("Unknown Exception");
}

bool KnownException(uint32_t code) {
  return std::any_of(kExceptionTexts.begin(), kExceptionTexts.end(), [code](const auto& row) { return row.code == code; });
}

ZarnError MachineException(uint32_t code) {
  return ZarnError(static_cast<int32_t>(RuntimeError::MachineException), QStringLiteral("zarn"),
                   ExceptionText(code));
}

}  // namespace zarn
