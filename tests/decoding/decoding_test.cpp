#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "decoding/decoding.h"
#include "tests/support/fakes.h"

namespace zarn {
namespace {

using testing::ScopedTrapHost;

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray out;
  for (int v : values) out.append(static_cast<char>(v));
  return out;
}

struct Base64Row {
  const char* name;
  QString input;
  QByteArray bytes;
};

TEST(Base64Decode, DecodesWithoutTrappingAnything) {
  const Base64Row rows[] = {
      {"one byte", "QQ==", "A"},
      {"three bytes", "QUJD", "ABC"},
      {"two bytes", "QUI=", "AB"},
      {"pad inside a group takes bytes off its end", "A=BC", Bytes({0, 0})},
      {"pad first", "=QUJ", Bytes({0x01, 0x05})},
      {"groups after a padded group", "QQ==QUJD", "AABC"},
      {"CR LF pairs removed", "QU\r\nJD", "ABC"},
      {"tabs and blanks removed", " Q\tU J\tD ", "ABC"},
      {"all bits set", "////", Bytes({0xFF, 0xFF, 0xFF})},
      {"empty", "", ""},
      {"only separators", "\r\n \t\r\n", ""},
  };
  for (const auto& row : rows) {
    ScopedTrapHost t;
    EXPECT_EQ(Base64Decode(row.input), row.bytes) << row.name;
    EXPECT_TRUE(t.Errors().isEmpty()) << row.name;
  }
}

TEST(Base64Decode, AgreesWithAStandardEncoderOnRandomData) {
  ScopedTrapHost t;
  QRandomGenerator random(42);
  for (int size = 0; size < 200; ++size) {
    QByteArray data(size, '\0');
    for (auto& b : data) b = static_cast<char>(random.bounded(256));
    EXPECT_EQ(Base64Decode(QString::fromLatin1(data.toBase64())), data) << size;
  }
  // Mail-style wrapping with CR LF every 76 characters.
  QByteArray data(1000, '\0');
  for (auto& b : data) b = static_cast<char>(random.bounded(256));
  QByteArray wrapped;
  const QByteArray plain = data.toBase64();
  for (qsizetype i = 0; i < plain.size(); i += 76) wrapped += plain.mid(i, 76) + "\r\n";
  EXPECT_EQ(Base64Decode(QString::fromLatin1(wrapped)), data);
  EXPECT_TRUE(t.Errors().isEmpty());
}

struct RejectRow {
  const char* name;
  QString input;
  const char* error;
};

TEST(Base64Decode, RejectionsAreTrappedAndGiveNothing) {
  const RejectRow rows[] = {
      {"lone LF counts towards the length", "QU\nJD", "1 Bad Base64 string."},
      {"three characters", "QUJ", "1 Bad Base64 string."},
      {"lone CR at the end", "QUJD\r", "1 Bad Base64 string."},
      {"lone LF is a bad character", "QU\nJ", "2 Bad character In Base64 string."},
      {"URL-safe minus", "QU-D", "2 Bad character In Base64 string."},
      {"URL-safe underscore", "QU_D", "2 Bad character In Base64 string."},
      {"non-ASCII", QString::fromUtf8("QUé="), "2 Bad character In Base64 string."},
      {"bad character after good groups", "QUJDQUJDQU*D", "2 Bad character In Base64 string."},
  };
  for (const auto& row : rows) {
    ScopedTrapHost t;
    EXPECT_TRUE(Base64Decode(row.input).isEmpty()) << row.name;
    EXPECT_EQ(t.Errors(), QStringList({row.error})) << row.name;
    ASSERT_EQ(t.LogLines().size(), 1) << row.name;
    EXPECT_TRUE(t.LogLines()[0].contains("\tLocation: zarn.mBASE64.Base64Decode\t")) << row.name;
  }
}

TEST(Base64Decode, RetryOfABadLengthFailsAgainThenIgnoreLeaves) {
  ScopedTrapHost t;
  t.dialogs.answers = {TrapChoice::Retry, TrapChoice::Ignore};
  EXPECT_TRUE(Base64Decode("QUJDQ").isEmpty());
  EXPECT_EQ(t.Errors(), QStringList({"1 Bad Base64 string.", "1 Bad Base64 string."}));
  EXPECT_EQ(t.LogLines().size(), 2);
}

TEST(Base64Decode, AllPadGroupIsAnInvalidArgumentAndIgnoringSkipsOnlyThatGroup) {
  ScopedTrapHost t;
  EXPECT_EQ(Base64Decode("QQ==========QUJD"), "AABC");
  EXPECT_EQ(t.Errors(), QStringList({"5 Invalid procedure call or argument", "5 Invalid procedure call or argument"}));
}

TEST(Base64Decode, LeavesTheCallersTextAlone) {
  ScopedTrapHost t;
  const QString text = "QU\r\nJD";
  Base64Decode(text);
  EXPECT_EQ(text, "QU\r\nJD");
}

struct UriRow {
  const char* name;
  QByteArray input;
  QString text;
};

TEST(DecodeURI, TurnsEscapedUtf8IntoText) {
  const UriRow rows[] = {
      {"empty", "", ""},
      {"plus before escapes", "a+b%2Bc", "a b+c"},
      {"lower-case plus escape", "%2b", "+"},
      {"two-byte sequence", "%C3%A9", QString(QChar(0x00E9))},
      {"lower-case digits", "%e2%82%ac", QString(QChar(0x20AC))},
      {"percent at the end", "100%", QString("100") + QChar(0)},
      {"one digit at the end", "x%4", QString("x") + QChar(4)},
      {"invalid UTF-8 byte", "%FF", QString(QChar(0xFFFD))},
      {"truncated sequence", "a%C3", QString("a") + QChar(0xFFFD)},
      {"escaped NUL kept", "a%00b", QString("a") + QChar(0) + "b"},
      {"blank inside the pair is skipped", "% 41", QString(QChar(4)) + "1"},
      {"non-digit ends the pair", "%%41", QString(QChar(0)) + "1"},
      {"pair consumed even when not hex", "%zzA", QString(QChar(0)) + "A"},
      {"raw UTF-8 passes", "caf\xC3\xA9+cr%C3%A8me", QString::fromUtf8("café crème")},
      {"raw single byte is not UTF-8", "caf\xE9", QString("caf") + QChar(0xFFFD)},
      {"four-byte sequence", "%F0%9F%98%80", QString::fromUtf8("\xF0\x9F\x98\x80")},
      {"service request", "server/get?id=5&name=J%C3%BCrgen+M%C3%BCller",
       QString::fromUtf8("server/get?id=5&name=Jürgen Müller")},
  };
  for (const auto& row : rows) {
    ScopedTrapHost t;
    EXPECT_EQ(DecodeURI(row.input), row.text) << row.name;
    EXPECT_TRUE(t.Errors().isEmpty()) << row.name;
  }
}

TEST(DecodeURI, FollowsBase64DecodeOnALink) {
  ScopedTrapHost t;
  const QByteArray request = "example.org/print?doc=7&who=Ren%C3%A9+D";
  const QByteArray bytes = Base64Decode(QString::fromLatin1(request.toBase64()));
  EXPECT_EQ(ByteStringText(bytes), QString::fromLatin1(request));
  EXPECT_EQ(DecodeURI(bytes), QString::fromUtf8("example.org/print?doc=7&who=René D"));
}

TEST(FromUTF8, ReadsOnlyTheGivenCountAndNeverPastTheArray) {
  ScopedTrapHost t;
  const QByteArray bytes = "abc";
  EXPECT_EQ(FromUTF8(bytes, 2), "ab");
  EXPECT_EQ(FromUTF8(bytes, 0), "");
  EXPECT_EQ(FromUTF8(bytes, 1000), "abc");
  EXPECT_EQ(FromUTF8(bytes, -1), "");
  // A sequence cut by the count is malformed.
  EXPECT_EQ(FromUTF8("\xC3\xA9", 1), QString(QChar(0xFFFD)));
  // A byte order mark is a character like any other.
  EXPECT_EQ(FromUTF8("\xEF\xBB\xBFz", 4), QString(QChar(0xFEFF)) + "z");
  EXPECT_TRUE(t.Errors().isEmpty());
}

TEST(ByteStringText, IsOneCharacterPerByte) {
  QByteArray all;
  for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
  const QString text = ByteStringText(all);
  ASSERT_EQ(text.size(), 256);
  for (int b = 0; b < 256; ++b) EXPECT_EQ(text[b].unicode(), b);
}

}  // namespace
}  // namespace zarn
