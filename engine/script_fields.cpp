#include "engine/script_fields.h"

#include <stdexcept>

#include "errortrap/convert.h"
#include "errortrap/error.h"

namespace zarn {

void Fields::Split(QStringView line) {
  count_ = 0;
  qsizetype start = 0;
  while (count_ < kMaxFields - 1) {
    const qsizetype bar = line.indexOf(u'|', start);
    if (bar < 0) break;
    parts_[count_++] = line.mid(start, bar - start);
    start = bar + 1;
  }
  parts_[count_++] = line.mid(start);
}

QStringView Fields::View(qsizetype i) const {
  if (i >= count_) Raise(RuntimeError::SubscriptOutOfRange);
  return parts_[i];
}

char16_t FieldArgs::TypeAt(qsizetype i) const {
  if (!Has(i)) throw std::logic_error("a command read a field it did not convert");
  return types_[i];
}

QStringView FieldArgs::View(qsizetype i) const {
  const char16_t t = TypeAt(i);
  if (t != u'T' && t != u'E') throw std::logic_error("a command read a number field as text");
  return views_[i];
}

int32_t FieldArgs::Long(qsizetype i) const {
  const char16_t t = TypeAt(i);
  if (t == u'L') return FieldToLong(fields_->View(i));
  if (t != u'N') throw std::logic_error("a command read a field as a number against its table row");
  return numbers_[i];
}

int16_t FieldArgs::Short(qsizetype i) const {
  if (TypeAt(i) != u'S') throw std::logic_error("a command read a field as a short against its table row");
  return static_cast<int16_t>(numbers_[i]);
}

int32_t FieldArgs::Tenths(qsizetype i) const {
  if (TypeAt(i) != u'M') throw std::logic_error("a command read a field in tenths against its table row");
  return numbers_[i];
}

void ConvertFields(std::u16string_view types, const Fields& fields, FieldArgs& args, bool readLate) {
  args.count_ = 0;
  args.fields_ = &fields;
  bool optional = false;
  qsizetype i = 0;
  for (const char16_t t : types) {
    if (t == u'/') {
      optional = true;
      continue;
    }
    ++i;
    if (i > FieldArgs::kMaxRead) throw std::logic_error("a command table row reads too many fields");
    if (optional && i > fields.After()) return;
    if (t == u'L' && !readLate) {
      args.types_[i] = t;
      args.count_ = i;
      continue;
    }
    const QStringView field = fields.View(i);
    switch (t) {
      case u'T':
      case u'E':
        args.views_[i] = field;
        break;
      case u'N':
      case u'L':
        args.numbers_[i] = FieldToLong(field);
        break;
      case u'S':
        args.numbers_[i] = FieldToShort(field);
        break;
      case u'M':
        args.numbers_[i] = FieldToTenths(field);
        break;
      default:
        throw std::logic_error("unknown field type letter in the command table");
    }
    args.types_[i] = t;
    args.count_ = i;
    if (t == u'E' && field.isEmpty()) return;
  }
}

}  // namespace zarn
