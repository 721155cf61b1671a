#pragma once
// The printer spooler's form database and device-mode calls, as the form
// store procedures (forms/form_store.h) use them. Each operation stands for
// one spooler call and keeps that call's contract, so the procedures above it
// read like their Windows originals and a Windows backend could be dropped in.
//
// Sizes are thousandths of a millimetre (1 cm = 10000). Names that cross this
// interface as bytes are in the system code page, ISO-8859-1 on Linux.
//
// Byte layouts shared by both sides (all numbers little-endian):
//
//  * EnumForms, level 1: `returned` records of kFormInfo1Size bytes each, one
//    after the other from offset 0: Flags (u32), name (u32: offset of the
//    zero-terminated name inside the same buffer; a pointer in the original),
//    cx, cy, left, top, right, bottom (i32). The names follow the records.
//
//  * Device-mode record: the ANSI DEVMODE. Its public part is the leading
//    kDevModePublicSize bytes (dmDeviceName through dmDisplayFrequency); the
//    record a printer hands out may be longer (its private driver data).
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace zarn {

using PrinterHandle = std::uintptr_t;  // 0: no printer

inline constexpr int kFormInfo1Size = 32;

// What one printer keeps of user forms: at most this many, with names of at
// most this many characters.
inline constexpr int kMaxUserForms = 256;
inline constexpr int kMaxFormNameChars = 256;

// Flags of a level-1 form record.
inline constexpr uint32_t FORM_USER = 0;
inline constexpr uint32_t FORM_BUILTIN = 1;

// Offsets into the ANSI device-mode record.
inline constexpr int kDevModePublicSize = 124;
inline constexpr int kDmDeviceNameOffset = 0;
inline constexpr int kDmDeviceNameSize = 32;
inline constexpr int kDmSizeOffset = 36;         // u16, the public part's size
inline constexpr int kDmDriverExtraOffset = 38;  // u16, bytes after dmSize
inline constexpr int kDmFieldsOffset = 40;       // u32
inline constexpr int kDmOrientationOffset = 44;  // i16
inline constexpr int kDmPaperSizeOffset = 46;    // i16
inline constexpr int kDmPaperLengthOffset = 48;  // i16, tenths of a millimetre
inline constexpr int kDmPaperWidthOffset = 50;   // i16, tenths of a millimetre
inline constexpr int kDmCopiesOffset = 54;       // i16
inline constexpr int kDmFormNameOffset = 70;
inline constexpr int kDmFormNameSize = 32;

// dmFields bits.
inline constexpr uint32_t DM_ORIENTATION = 0x1;
inline constexpr uint32_t DM_PAPERSIZE = 0x2;
inline constexpr uint32_t DM_PAPERLENGTH = 0x4;
inline constexpr uint32_t DM_PAPERWIDTH = 0x8;
inline constexpr uint32_t DM_COPIES = 0x100;
inline constexpr uint32_t DM_FORMNAME = 0x10000;

// DocumentProperties modes (0 asks for the record's size).
inline constexpr uint32_t DM_OUT_BUFFER = 2;
inline constexpr uint32_t DM_IN_BUFFER = 8;

// A level-1 form record to add.
struct FormInfo1 {
  uint32_t flags = FORM_USER;
  QByteArray name;  // system code page, without the terminating zero
  int32_t cx = 0, cy = 0;
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // imageable area
};

class FormSpooler {
 public:
  virtual ~FormSpooler() = default;

  // OpenPrinter: true and a nonzero handle when a printer of exactly that name
  // exists; false (handle 0) otherwise. Every handle is closed by ClosePrinter.
  virtual bool OpenPrinter(const QString& printerName, PrinterHandle& handle) = 0;

  // EnumForms at `level` (only 1 is known) into `buffer`, whose size is the
  // buffer size offered. `needed` always receives the bytes the records and
  // names take; when the buffer is smaller the call fails with `returned` 0.
  // On success `returned` is the number of records, in a stable order.
  virtual bool EnumForms(PrinterHandle handle, uint32_t level, QByteArray& buffer, uint32_t& needed,
                         uint32_t& returned) = 0;

  // DeleteForm: false when no deletable form of that name exists.
  virtual bool DeleteForm(PrinterHandle handle, const QByteArray& formName) = 0;

  // AddForm: false when a form of that name exists (letter case ignored), the
  // name is over kMaxFormNameChars characters or the printer has kMaxUserForms
  // user forms already, the size or area is refused, or the store cannot be
  // written. User forms are listed in the order they were added.
  virtual bool AddForm(PrinterHandle handle, uint32_t level, const FormInfo1& form) = 0;

  // DocumentProperties. Mode 0: returns the full device-mode record's size in
  // bytes. DM_OUT_BUFFER: fills `out` (at least that size) with the printer's
  // current settings. DM_IN_BUFFER | DM_OUT_BUFFER: merges `in` into `out`
  // (they may be the same record). Returns a negative value on failure.
  virtual int32_t DocumentProperties(int32_t ownerWindow, PrinterHandle handle, const QString& deviceName,
                                     QByteArray* out, const QByteArray* in, uint32_t mode) = 0;

  // ResetDC: applies the record to the print surface whose device context this
  // is; returns the device context, 0 when nothing was applied.
  virtual int32_t ResetDC(int32_t deviceContext, const QByteArray& devMode) = 0;

  virtual bool ClosePrinter(PrinterHandle handle) = 0;
};

}  // namespace zarn
