#pragma once
// The fields of one print script line and their conversion by a command's
// field types. The interpreter's command table gives every command a type
// string; the same string drives execution and the script check, so the two
// read a line alike.
//
// Type letters, one per field after the keyword, in reading order:
//   T  text, taken as it is
//   N  number: signed 32 bits (FieldToLong)
//   L  number read only when the command asks for it (FieldToLong then), so
//      that a command's earlier work is done even when the field is faulty or
//      missing; the script check reads it at once
//   S  short: a number that also fits 16 bits (FieldToShort)
//   M  millimetres with one decimal, read in tenths (FieldToTenths)
//   E  text that, when empty, ends the command: nothing further is read
//   /  the fields after it are read only when the line has them
// Fields are views into the line, which must outlive them.
#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>
#include <string_view>

namespace zarn {

// The fields of one line, split at every "|". Only the first kMaxFields are cut
// apart; a longer line keeps the rest in its last stored field, which no
// command reads.
class Fields {
 public:
  static constexpr qsizetype kMaxFields = 12;

  void Split(QStringView line);
  // Fields after the keyword (at least as many as any command reads).
  qsizetype After() const { return count_ - 1; }
  QStringView Keyword() const { return parts_[0]; }
  // Field i (1 = the first after the keyword); a field the line does not have
  // is Subscript out of range.
  QStringView View(qsizetype i) const;

 private:
  std::array<QStringView, kMaxFields> parts_;
  qsizetype count_ = 0;
};

// Fields that a command must have before any is converted: the letters before
// "/" that are not "L", and for an "E" command only up to that field.
constexpr qsizetype RequiredFields(std::u16string_view types) {
  qsizetype n = 0;
  for (const char16_t t : types) {
    if (t == u'/' || t == u'L') break;
    ++n;
    if (t == u'E') break;
  }
  return n;
}

// The converted fields of one command, by position (1 = the first after the
// keyword). Asking a field for another type than the table gives it is a
// broken rule of ours (std::logic_error), so a handler cannot drift from its
// table row unnoticed.
class FieldArgs {
 public:
  static constexpr qsizetype kMaxRead = 9;

  // Fields read: all required ones, and the optional ones the line has; after
  // an empty "E" field, that field is the last.
  qsizetype Count() const { return count_; }
  bool Has(qsizetype i) const { return i >= 1 && i <= count_; }
  QStringView View(qsizetype i) const;
  QString Text(qsizetype i) const { return View(i).toString(); }
  int32_t Long(qsizetype i) const;
  int16_t Short(qsizetype i) const;
  int32_t Tenths(qsizetype i) const;

 private:
  friend void ConvertFields(std::u16string_view types, const Fields& fields, FieldArgs& args, bool readLate);
  char16_t TypeAt(qsizetype i) const;

  const Fields* fields_ = nullptr;  // for the "L" fields

  std::array<QStringView, kMaxRead + 1> views_{};
  std::array<int32_t, kMaxRead + 1> numbers_{};
  std::array<char16_t, kMaxRead + 1> types_{};
  qsizetype count_ = 0;
};

// Converts fields 1.. by types, left to right, so the first faulty field is
// the one that raises: a missing field Subscript out of range (9), a field
// that is no number Type mismatch (13), one out of range Overflow (6). When it
// raises, args.Count() is the number of fields converted before the faulty one.
// "L" fields are left to the command unless readLate is set; args then reads
// them from fields, which must outlive it.
void ConvertFields(std::u16string_view types, const Fields& fields, FieldArgs& args, bool readLate = false);

}  // namespace zarn
