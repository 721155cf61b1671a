#pragma once
// Every trapping procedure of the program and the module that holds it. The
// trap's location reads "zarn." + module + "." + procedure.
#include <cstdint>

namespace zarn {

#define ZARN_TRAPPING_PROCEDURES(X) \
  X(frmMAIN, Form_Load)             \
  X(mBASE64, DecodeURI)             \
  X(mBASE64, FromUTF8)              \
  X(mBASE64, Base64Decode)          \
  X(mWEB, GetURL)                   \
  X(mWEB, DownloadFile)             \
  X(mPRINTSCRIPT, DeviceName)       \
  X(mPRINTSCRIPT, SetPrinter)       \
  X(mPRINTSCRIPT, SetMargin)        \
  X(mPRINTSCRIPT, NewPage)          \
  X(mPRINTSCRIPT, SimpleStartDoc)   \
  X(mPRINTSCRIPT, StartDoc)         \
  X(mPRINTSCRIPT, PaperSize)        \
  X(mPRINTSCRIPT, EndDoc)           \
  X(mPRINTSCRIPT, SFX)              \
  X(mPRINTSCRIPT, SFY)              \
  X(mPRINTSCRIPT, SFXR)             \
  X(mPRINTSCRIPT, SFYR)             \
  X(mPRINTSCRIPT, SimplePrint)      \
  X(mPRINTSCRIPT, MoveXText)        \
  X(mPRINTSCRIPT, PrintText)        \
  X(mPRINTSCRIPT, FixPos)           \
  X(mPRINTSCRIPT, FixTextArea)      \
  X(mPRINTSCRIPT, SetFont)          \
  X(mPRINTSCRIPT, SplitLines)       \
  X(mPRINTSCRIPT, DrawLine)         \
  X(mPRINTSCRIPT, DrawBox)          \
  X(mPRINTSCRIPT, DrawGradient)     \
  X(mPRINTSCRIPT, GetFile)          \
  X(mPRINTSCRIPT, DrawImage)        \
  X(mPRINTSCRIPT, SetForeColor)     \
  X(mPRINTSCRIPT, ParsePrint)       \
  X(mPRINTSCRIPT, ExecutePrintScript) \
  X(mPRINTSCRIPT, HTML2RGB)         \
  X(mPRINTSCRIPT, PrinterIndex)     \
  X(mPRINTSCRIPT, PDFPrinterOn)     \
  X(mPRINTSCRIPT, PDFONLY)          \
  X(mPRINTSCRIPT, PDFPrinterOff)    \
  X(mPAPERSIZE, GetFormNames)       \
  X(mPAPERSIZE, GetFormproperties)  \
  X(mPAPERSIZE, DeleteExistedForm)  \
  X(mPAPERSIZE, AddNewForm)         \
  X(mPAPERSIZE, PtrCtoVbString)     \
  X(mPAPERSIZE, SetDefaultForm)     \
  X(mPAPERSIZE, DeleteLeastUsedForm) \
  X(vbwProtector, vbwInitializeProtector) \
  X(vbwProtector, vbwHandleException)

enum class Proc : uint8_t {
#define ZARN_PROC_ENUM(module, name) name,
  ZARN_TRAPPING_PROCEDURES(ZARN_PROC_ENUM)
#undef ZARN_PROC_ENUM
};

// "zarn.mWEB.GetURL" for Proc::GetURL.
const char* LocationOf(Proc p);

}  // namespace zarn
