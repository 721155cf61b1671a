#include "engine/document.h"

#include "errortrap/convert.h"
#include "errortrap/trap.h"
#include "platform/print_surface.h"

namespace zarn {

namespace {
// One bracketed list of the pattern language, starting after "[". Returns the
// index just past "]", or -1 when the list is not closed (then "[" is literal).
qsizetype MatchClass(QStringView pattern, qsizetype i, QChar c, bool& matched) {
  bool negate = false;
  if (i < pattern.size() && pattern[i] == u'!') {
    negate = true;
    ++i;
  }
  bool inList = false;
  for (; i < pattern.size(); ++i) {
    const QChar p = pattern[i];
    if (p == u']') {
      matched = inList != negate;
      return i + 1;
    }
    if (i + 2 < pattern.size() && pattern[i + 1] == u'-' && pattern[i + 2] != u']') {
      if (c >= p && c <= pattern[i + 2]) inList = true;
      i += 2;
    } else if (c == p) {
      inList = true;
    }
  }
  return -1;
}

// Whether text[t] matches the single-character token at pattern[p]; sets the
// index just past the token.
bool MatchOne(QStringView pattern, qsizetype p, QChar c, qsizetype& next) {
  const QChar token = pattern[p];
  if (token == u'?') {
    next = p + 1;
    return true;
  }
  if (token == u'#') {
    next = p + 1;
    return c >= u'0' && c <= u'9';
  }
  if (token == u'[') {
    bool matched = false;
    const qsizetype end = MatchClass(pattern, p + 1, c, matched);
    if (end >= 0) {
      next = end;
      return matched;
    }
  }
  next = p + 1;
  return c == token;
}
}  // namespace

bool MatchesPattern(QStringView text, QStringView pattern) {
  // Greedy match with backtracking to the last "*": linear for patterns with one star.
  qsizetype t = 0, p = 0, starP = -1, starT = 0;
  while (t < text.size()) {
    qsizetype next = 0;
    if (p < pattern.size() && pattern[p] == u'*') {
      starP = ++p;
      starT = t;
    } else if (p < pattern.size() && MatchOne(pattern, p, text[t], next)) {
      p = next;
      ++t;
    } else if (starP >= 0) {
      p = starP;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

int16_t DeviceName(Engine& e, QString name) {
  Trap trap(Proc::DeviceName);
  int16_t result = kFalse;
  int16_t index = -1;
  trap.Step([&] {
    if (name.isEmpty() || name.toLower() == u"default") name = e.state.LastDeviceName;
  });
  trap.Step([&] { index = PrinterIndex(e, name); });
  trap.Step([&] {
    if (index >= 0) {
      SetPrinter(e, name);
      result = kTrue;
    } else {
      e.log.Message(QStringLiteral("Device '") + name + QStringLiteral("' not exists!"));
      if (!name.isEmpty()) e.state.UnswitchedDevices << name;
      result = kFalse;
    }
  });
  return result;
}

int16_t SetPrinter(Engine& e, const QString& name) {
  Trap trap(Proc::SetPrinter);
  trap.Step([&] { e.state.LastDeviceName = e.surface.DeviceName(); });
  trap.Step([&] {
    const int count = e.printers.Count();
    for (int i = 0; i < count; ++i) {
      if (e.printers.DeviceName(i) == name) {
        e.printers.Select(i);
        return;
      }
    }
    // A pattern that matched a printer but names none exactly switches nothing.
    e.state.UnswitchedDevices << name;
  });
  return 0;
}

int16_t PrinterIndex(Engine& e, const QString& pattern) {
  Trap trap(Proc::PrinterIndex);
  int16_t result = -1;
  trap.Step([&] {
    const QString lowerPattern = pattern.toLower();
    const int count = e.printers.Count();
    for (int i = 0; i < count; ++i) {
      if (MatchesPattern(e.printers.DeviceName(i).toLower(), lowerPattern)) {
        result = ToShort(i);
        return;
      }
    }
  });
  return result;
}

int16_t SetMargin(Engine& e, int32_t top, int32_t left) {
  Trap trap(Proc::SetMargin);
  PrintState& s = e.state;
  trap.Step([&] { s.MarginTop = top; });
  trap.Step([&] { s.MarginLeft = left; });
  trap.Step([&] { s.OriginX = 0; });
  trap.Step([&] { s.OriginY = 0; });
  return 0;
}

void OpenPage(Engine& e) {
  e.surface.SetPageOpenFlag(false);
  e.surface.Print(QString());
  e.surface.SetPageOpenFlag(true);
}

int16_t StartDoc(Engine& e, const QString& orientation, const QString& paper, int32_t copies) {
  Trap trap(Proc::StartDoc);
  PrintState& s = e.state;
  trap.Step([&] {
    e.surface.EndDoc();
    if (e.DocumentEnded) e.DocumentEnded();
  });
  trap.Step([&] {
    if (paper == u"A4") e.surface.SetPaperSize(9);
    else if (paper == u"A5") e.surface.SetPaperSize(11);
  });
  trap.Step([&] {
    if (orientation == u"P") e.surface.SetOrientation(1);
    else if (orientation == u"L") e.surface.SetOrientation(2);
  });
  trap.Step([&] { s.PageBottom = 9999999; });
  trap.Step([&] {
    if (paper == u"A4" && orientation == u"P") s.PageBottom = 16000;
  });
  trap.Step([&] { e.surface.SetCopies(ToShort(copies)); });
  trap.Step([&] { OpenPage(e); });
  trap.Step([&] {
    s.OriginY = 0;
    s.OriginX = 0;
    s.MarginTop = 0;
    s.MarginLeft = 0;
    s.LastX = 0;
    s.LastY = 0;
  });
  return kTrue;
}

int16_t SimpleStartDoc(Engine& e) {
  Trap trap(Proc::SimpleStartDoc);
  trap.Step([&] {
    e.surface.EndDoc();
    if (e.DocumentEnded) e.DocumentEnded();
  });
  return 0;
}

int16_t NewPage(Engine& e) {
  Trap trap(Proc::NewPage);
  trap.Step([&] { e.surface.NewPage(); });
  trap.Step([&] {
    if (e.Progress) e.Progress();
  });
  return kTrue;
}

int16_t EndDoc(Engine& e) {
  Trap trap(Proc::EndDoc);
  trap.Step([&] {
    e.surface.EndDoc();
    if (e.DocumentEnded) e.DocumentEnded();
  });
  return kTrue;
}

}  // namespace zarn
