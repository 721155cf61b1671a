#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QtEndian>

#include "forms/form_store.h"
#include "linux/file_form_spooler.h"
#include "tests/support/fakes.h"
#include "tests/support/form_fakes.h"
#include "tests/support/qstring_printer.h"
#include "tests/support/recording_surface.h"

namespace zarn {
namespace {

using testing::Form;

// "Office" starts its list with Letter, so A4 is a built-in that is not first.
struct StoreFixture {
  StoreFixture() : spooler(pages, surface, dir.path()), rec(spooler) {
    pages.printers = {{"Office", {Form("Letter", 215900, 279400), Form("A4", 210000, 297000),
                                  Form("A5", 148000, 210000)}},
                      {"PDF Writer", StandardPageSizes()}};
  }
  testing::ScopedTrapHost trap;
  QTemporaryDir dir;
  testing::FakePrinterPageSizes pages;
  testing::RecordingSurface surface;
  FileFormSpooler spooler;
  testing::RecordingFormSpooler rec;
};

TEST(FormStore, NamesAreTheBuiltInsInOrderThenUserFormsInTheOrderAdded) {
  StoreFixture f;
  EXPECT_EQ(AddNewForm(f.rec, "Office", {100000, 150000}, "Zeta"), -1);
  EXPECT_EQ(AddNewForm(f.rec, "Office", {50000, 50000}, "Alpha"), -1);
  EXPECT_EQ(GetFormNames(f.rec, "Office"), QStringList({"Letter", "A4", "A5", "Zeta", "Alpha"}));
  EXPECT_EQ(f.rec.openHandles, 0);
  EXPECT_TRUE(f.trap.Errors().isEmpty());
}

TEST(FormStore, EnumerationAsksForTheSizeFirstThenFillsABufferOfThatSize) {
  StoreFixture f;
  GetFormNames(f.rec, "Office");
  // 3 records of 32 bytes, then "Letter\0A4\0A5\0".
  EXPECT_EQ(f.rec.calls, QStringList({"Open Office 1", "Enum 0 -> 0", "Enum 109 -> 1", "Close"}));
}

TEST(FormStore, LookupIgnoresLetterCaseAndGivesTheStoredSize) {
  StoreFixture f;
  AddNewForm(f.rec, "Office", {120000, 80000}, "Label");
  struct Row {
    const char* name;
    int16_t position;
    FormSize size;
  } rows[] = {{"a4", 1, {210000, 297000}}, {"A5", 2, {148000, 210000}}, {"LABEL", 3, {120000, 80000}}};
  for (const Row& r : rows) {
    FormSize size{1, 2};
    EXPECT_EQ(GetFormproperties(f.rec, "Office", size, r.name), r.position) << r.name;
    EXPECT_EQ(size.width, r.size.width) << r.name;
    EXPECT_EQ(size.height, r.size.height) << r.name;
  }
  EXPECT_EQ(f.rec.openHandles, 0);
}

TEST(FormStore, FirstFormAndNoMatchBothGiveZeroButOnlyTheFirstFillsTheSize) {
  StoreFixture f;
  FormSize size{1, 2};
  EXPECT_EQ(GetFormproperties(f.rec, "Office", size, "letter"), 0);
  EXPECT_EQ(size.width, 215900);
  EXPECT_EQ(size.height, 279400);
  size = {1, 2};
  EXPECT_EQ(GetFormproperties(f.rec, "Office", size, "Tabloid"), 0);
  EXPECT_EQ(size.width, 1);
  EXPECT_EQ(size.height, 2);
}

TEST(FormStore, DeleteIsTrueWheneverThePrinterOpensButBuiltInsStay) {
  StoreFixture f;
  AddNewForm(f.rec, "Office", {100000, 150000}, "Mine");
  EXPECT_EQ(DeleteExistedForm(f.rec, "Office", "A4"), -1);
  EXPECT_EQ(DeleteExistedForm(f.rec, "Office", "Nothing"), -1);
  EXPECT_EQ(DeleteExistedForm(f.rec, "Office", "MINE"), -1);
  EXPECT_EQ(GetFormNames(f.rec, "Office"), QStringList({"Letter", "A4", "A5"}));
  EXPECT_EQ(f.rec.openHandles, 0);
}

TEST(FormStore, AddRefusesAnExistingNameInAnyCaseAndSizesNoSheetHas) {
  StoreFixture f;
  EXPECT_EQ(AddNewForm(f.rec, "Office", {100000, 150000}, "Mine"), -1);
  struct Row {
    const char* name;
    FormSize size;
  } refused[] = {{"mine", {10000, 10000}}, {"a4", {10000, 10000}}, {"Flat", {0, 150000}},
                 {"Thin", {100000, 0}},    {"Back", {-10000, 10000}}, {"", {10000, 10000}}};
  for (const Row& r : refused) EXPECT_EQ(AddNewForm(f.rec, "Office", r.size, r.name), 0) << r.name;
  EXPECT_EQ(GetFormNames(f.rec, "Office"), QStringList({"Letter", "A4", "A5", "Mine"}));
  FormSize size;
  GetFormproperties(f.rec, "Office", size, "Mine");
  EXPECT_EQ(size.width, 100000);  // the first size stays
}

TEST(FormStore, AddedFormCoversTheWholeSheet) {
  StoreFixture f;
  AddNewForm(f.rec, "Office", {100000, 150000}, "Mine");
  EXPECT_TRUE(f.rec.calls.contains("Add Mine 100000 150000 0 0 100000 150000 -> 1")) << f.rec.calls.join('\n').toStdString();
}

TEST(FormStore, AnUnknownPrinterGivesTheNeutralResults) {
  StoreFixture f;
  FormSize size{7, 8};
  EXPECT_TRUE(GetFormNames(f.rec, "Nowhere").isEmpty());
  EXPECT_EQ(GetFormproperties(f.rec, "Nowhere", size, "A4"), 0);
  EXPECT_EQ(size.width, 7);
  EXPECT_EQ(DeleteExistedForm(f.rec, "Nowhere", "A4"), 0);
  EXPECT_EQ(AddNewForm(f.rec, "Nowhere", {100000, 100000}, "X"), 0);
  EXPECT_EQ(SetDefaultForm(f.rec, f.surface, "Nowhere", "A4", 0), 0);
  EXPECT_EQ(f.rec.calls, QStringList({"Open Nowhere 0", "Open Nowhere 0", "Open Nowhere 0", "Open Nowhere 0",
                                      "Open Nowhere 0"}));
  EXPECT_TRUE(f.surface.calls.isEmpty());
  EXPECT_TRUE(f.trap.Errors().isEmpty());
}

QByteArray FormNameField(const QByteArray& record) { return record.mid(kDmFormNameOffset, kDmFormNameSize); }
uint32_t Fields(const QByteArray& record) { return qFromLittleEndian<uint32_t>(record.constData() + kDmFieldsOffset); }

TEST(FormStore, SetDefaultFormWritesTheNameFieldAndOnlyTheFormNameBit) {
  const QByteArray name31(31, 'N'), name32(32, 'M'), name40 = QByteArray(32, 'L') + "-and-more";
  struct Row {
    QByteArray name;
    QByteArray field;
  } rows[] = {
      {"Mine", "Mine" + QByteArray(1, '\0') + QByteArray(27, ' ')},
      {name31, name31 + QByteArray(1, '\0')},
      {name32, name32},
      {name40, name40.left(32)},
  };
  for (const Row& r : rows) {
    StoreFixture f;
    const QString name = QString::fromLatin1(r.name);
    ASSERT_EQ(AddNewForm(f.rec, "Office", {90000, 60000}, name), -1);
    f.rec.calls.clear();
    EXPECT_EQ(SetDefaultForm(f.rec, f.surface, "Office", name, 0), -1);
    EXPECT_EQ(f.rec.calls, QStringList({"Open Office 1", "Props 0", "Props 2", "Props 10", "ResetDC 4660", "Close"}));
    const QByteArray& in = f.rec.mergeInput;
    ASSERT_EQ(in.size(), FileFormSpooler::kDevModeSize + FileFormSpooler::kDriverExtra);
    EXPECT_EQ(FormNameField(in), r.field) << r.name.toStdString();
    EXPECT_EQ(Fields(f.rec.currentSettings) & ~DM_FORMNAME, DM_ORIENTATION | DM_COPIES | DM_PAPERLENGTH | DM_PAPERWIDTH);
    EXPECT_EQ(Fields(in), DM_FORMNAME);
    // Every other byte, inside and beyond the public part, as the driver gave it.
    QByteArray rest = in, given = f.rec.currentSettings;
    for (QByteArray* b : {&rest, &given}) {
      b->replace(kDmFormNameOffset, kDmFormNameSize, QByteArray(kDmFormNameSize, '?'));
      b->replace(kDmFieldsOffset, 4, QByteArray(4, '?'));
    }
    EXPECT_EQ(rest, given);
    EXPECT_EQ(f.surface.Take(), QStringList({"FormSize " + name + " 90000 60000"}));
  }
}

TEST(FormStore, SetDefaultFormAppliesABuiltInFormGivenInAnyCase) {
  StoreFixture f;
  EXPECT_EQ(SetDefaultForm(f.rec, f.surface, "Office", "a5", 0), -1);
  EXPECT_EQ(f.surface.Take(), QStringList({"FormSize A5 148000 210000"}));
}

TEST(FormStore, SetDefaultFormOfAnUnknownFormAppliesNothingButStillReportsTrue) {
  StoreFixture f;
  EXPECT_EQ(SetDefaultForm(f.rec, f.surface, "Office", "Nothing", 0), -1);
  EXPECT_TRUE(f.surface.calls.isEmpty());
}

TEST(FormStore, ADriverRecordShorterThanThePublicPartIsAnErrorNotAnOverrun) {
  StoreFixture f;
  f.rec.recordSize = 100;
  EXPECT_EQ(SetDefaultForm(f.rec, f.surface, "Office", "A4", 0), -1);
  EXPECT_EQ(f.trap.Errors(), QStringList({"9 Subscript out of range"}));
  EXPECT_EQ(f.rec.resetRecord.size(), 100);
  EXPECT_TRUE(f.surface.calls.isEmpty());
  EXPECT_EQ(f.rec.openHandles, 0);
}

TEST(PtrCtoVbString, ReadsAtMost512BytesUpToTheZero) {
  struct Row {
    qsizetype before;  // bytes in front of the string
    qsizetype length;
    bool terminated;
    qsizetype expected;  // characters returned
  } rows[] = {
      {0, 0, true, 0},      {0, 5, true, 5},     {7, 5, true, 5},     {0, 511, true, 511},
      {0, 512, true, 0},    {3, 600, true, 0},   {0, 5, false, 0},    {0, 511, false, 0},
  };
  for (const Row& r : rows) {
    QByteArray buffer(r.before, '#');
    buffer += QByteArray(r.length, 'x');
    if (r.terminated) buffer += QByteArray(1, '\0') + "tail";
    EXPECT_EQ(PtrCtoVbString(buffer, r.before).size(), r.expected) << r.before << " " << r.length;
  }
  const QByteArray latin("Gr\xf6\xdf" "e\0", 7);
  EXPECT_EQ(PtrCtoVbString(latin, 0), QString::fromUtf8("Größe"));
  EXPECT_EQ(PtrCtoVbString(latin, 2), QString::fromUtf8("öße"));
  EXPECT_EQ(PtrCtoVbString(latin, 7), QString());
  EXPECT_EQ(PtrCtoVbString(latin, -1), QString());
}

}  // namespace
}  // namespace zarn
