#pragma once
// The printer form store (module mPAPERSIZE): a thin, stateless layer over
// the spooler's form database of one printer. Every operation opens the
// printer by name itself, does its work, closes it again and returns a plain
// result; a printer that cannot be opened gives the neutral result (an empty
// list, 0 or false) and nothing is logged. Each operation has its own trap.
//
// Sizes are thousandths of a millimetre (1 cm = 10000). Results are 16-bit:
// -1 true, 0 false.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace zarn {

class FormSpooler;
class PrintSurface;

// Width then height of a paper form, thousandths of a millimetre.
struct FormSize {
  int32_t width = 0;
  int32_t height = 0;
};

// The printer's form names in the spooler's order (duplicates kept).
QStringList GetFormNames(FormSpooler& spooler, const QString& printerName);

// Zero-based position of the first form whose name matches ignoring case, and
// its size into `size`. A match on the first form gives 0 just like no match
// (only then is `size` left alone), and so does a printer that cannot be opened.
int16_t GetFormproperties(FormSpooler& spooler, const QString& printerName, FormSize& size, const QString& formName);

// Asks the spooler to delete the form; true whenever the printer opened,
// whether or not there was a deletable form of that name.
int16_t DeleteExistedForm(FormSpooler& spooler, const QString& printerName, const QString& formName);

// Adds a user form of that size covering the whole sheet; true when the
// spooler took it, false when it refused (the name exists, a size it will not
// take) or the printer cannot be opened.
int16_t AddNewForm(FormSpooler& spooler, const QString& printerName, const FormSize& size, const QString& formName);

// Makes the form the current one on the surface's device context: the
// printer's current device-mode record with dmFormName set to the name and
// dmFields to DM_FORMNAME alone, merged by the driver and applied with
// ResetDC. True when the printer opened.
int16_t SetDefaultForm(FormSpooler& spooler, PrintSurface& surface, const QString& printerName,
                       const QString& formName, int32_t ownerWindow);

// Makes room for one more user form on a printer that holds kMaxUserForms:
// deletes the user form used least recently and returns its name; empty when
// there was room (or the printer cannot be opened). Every paper size command
// deletes its form and adds it anew, so user forms are listed from the least
// to the most recently used. Built-in forms are never deleted.
QString DeleteLeastUsedForm(FormSpooler& spooler, const QString& printerName);

// The zero-terminated string at `offset` in `buffer`: at most 512 bytes are
// looked at, and a string with no zero byte among them (or before the buffer
// ends) reads as empty, so at most 511 characters come back.
QString PtrCtoVbString(const QByteArray& buffer, qsizetype offset);

}  // namespace zarn
