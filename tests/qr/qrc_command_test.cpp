#include "qr/qrc_command.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>

#include "engine/interpreter.h"
#include "qt/qt_qr_canvas.h"
#include "tests/qr/zbar.h"
#include "tests/support/engine_fixture.h"

namespace zarn {
namespace {

using testing::EngineFixture;
using testing::FakePicture;

// Loads whatever QImage can read, as a picture named after the file.
class ImagePictureLoader final : public PictureLoader {
 public:
  PictureHandle Load(const QString& path) override {
    if (QImage(path).isNull()) Raise(RuntimeError::InvalidPicture);
    return std::make_shared<FakePicture>(QFileInfo(path).fileName());
  }
};

// The real canvas, with every call written into a shared journal.
class JournalCanvas final : public QrCanvas {
 public:
  explicit JournalCanvas(QStringList& journal) : journal_(journal) {}
  void Draw(const QrPicture& picture, int32_t pixels) override {
    journal_ << "Draw " + QString::number(pixels);
    real.Draw(picture, pixels);
  }
  void SaveBmp(const QString& path) override {
    journal_ << "Save " + QFileInfo(path).fileName();
    real.SaveBmp(path);
  }
  QtQrCanvas real;

 private:
  QStringList& journal_;
};

std::string Calls(testing::RecordingSurface& s) { return s.Take().join(QStringLiteral("\n")).toStdString(); }

struct QrcFixture {
  QrcFixture() : engine(f.surface, f.surface, f.log, f.trap.dialogs, f.trap.files, loader, f.trap.clock), canvas(journal) {
    engine.programFolder = f.trap.folder;
    f.surface.Take();
  }
  int16_t Run(const QString& text, int32_t x = 100, int32_t y = 100, int32_t w = 500, int32_t h = 500) {
    return RunQrc(engine, canvas, [this] { journal << "Events"; }, text, [=] { return PicturePlace{x, y, w, h}; });
  }
  QString File() const { return QrcFilePath(engine); }
  void WriteOldFile() {
    QFile old(File());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
  }
  QByteArray FileContent() const {
    QFile file(File());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  EngineFixture f;
  ImagePictureLoader loader;
  Engine engine;
  QStringList journal;
  JournalCanvas canvas;
};

TEST(QrcCommand, WritesTheBitmapBesideTheProgramAndPlacesItWithDrawImage) {
  QrcFixture q;
  q.WriteOldFile();
  q.engine.state.MarginLeft = 1000;
  EXPECT_EQ(q.Run(QStringLiteral("abc")), -1);
  EXPECT_EQ(q.File(), q.f.trap.folder + "/qrcode.bmp");
  EXPECT_EQ(q.journal.join(" / ").toStdString(), "Events / Draw 132 / Events / Save qrcode.bmp / Events");
  EXPECT_EQ(Calls(q.f.surface), "Picture qrcode.bmp 1100 100 500 500");
  EXPECT_EQ(testing_zbar::Decode(q.File()), QByteArray("abc"));
  EXPECT_EQ(QImage(q.File()).size(), QSize(132, 132));
  EXPECT_TRUE(q.f.trap.Errors().isEmpty());
}

TEST(QrcCommand, WithoutAPictureOrAFileNothingIsPlacedAndTheOldFileStays) {
  struct Row {
    const char* name;
    QString text;
    bool folderMissing;
    int error;  // 0: no error, the command just does nothing
  };
  for (const Row& r : {Row{"empty text", QString(), false, 0},
                       Row{"text too long", QString(2954, QLatin1Char('a')), false, 481},
                       Row{"folder missing", QStringLiteral("abc"), true, 75}}) {
    QrcFixture q;
    q.WriteOldFile();
    if (r.folderMissing) q.engine.programFolder += "/missing";
    int error = 0;
    try {
      EXPECT_EQ(q.Run(r.text), 0) << r.name;
    } catch (const ZarnError& e) {
      error = e.number();
    }
    EXPECT_EQ(error, r.error) << r.name;
    EXPECT_EQ(Calls(q.f.surface), "") << r.name;
    q.engine.programFolder = q.f.trap.folder;
    EXPECT_EQ(q.FileContent(), QByteArray("old")) << r.name;
    if (r.error != 75) {
      EXPECT_EQ(q.journal.join(" / ").toStdString(), "") << r.name;
    }
  }
}

TEST(QrcCommand, LargeSymbolsGetFourPixelsPerModule) {
  QrcFixture q;
  EXPECT_EQ(q.Run(QString(2000, QLatin1Char('z')), 0, 0, 0, 0), -1);
  // 2000 bytes need version 33 at level low: 149 modules plus the margin.
  EXPECT_EQ(q.journal.value(1).toStdString(), "Draw 600");
  EXPECT_EQ(Calls(q.f.surface), "Picture qrcode.bmp 0 0");
  EXPECT_EQ(testing_zbar::Decode(q.File()), QByteArray(2000, 'z'));
}

TEST(QrcCommand, ScriptLinesReachItAndItsFailuresReachTheInterpretersTrap) {
  QrcFixture q;
  q.engine.QRC = [&](const QString& text, const std::function<PicturePlace()>& place) {
    return RunQrc(q.engine, q.canvas, {}, text, place);
  };
  ExecutePrintScript(q.engine,
                     "QRC||100|100|500|500\r\nQRC|" + QString(3000, QLatin1Char('a')) +
                         "|0|0|1|1\r\nQRC|abc|100|100|500|500\r\nSPR|after",
                     0, 0);
  EXPECT_EQ(Calls(q.f.surface), "Picture qrcode.bmp 100 100 500 500\nPrint 0 0 after");
  EXPECT_EQ(q.f.trap.Errors(), QStringList{QStringLiteral("481 Invalid picture: text too long for a QR code")});
  EXPECT_TRUE(q.f.trap.LogLines().value(0).contains("zarn.mPRINTSCRIPT.ExecutePrintScript"));
}

// The picture is saved before the numbers are read: a faulty or missing one is
// still trapped, but qrcode.bmp holds this line's code, not the one before.
TEST(QrcCommand, TheFileIsSavedBeforeItsNumbersAreRead) {
  for (const auto& [line, error] : {std::pair{"QRC|SECOND|x|0|1|1", "13 Type mismatch"},
                                    std::pair{"QRC|SECOND|0|0", "9 Subscript out of range"}}) {
    SCOPED_TRACE(line);
    QrcFixture q;
    q.engine.QRC = [&](const QString& text, const std::function<PicturePlace()>& place) {
      return RunQrc(q.engine, q.canvas, {}, text, place);
    };
    ExecutePrintScript(q.engine, QStringLiteral("QRC|FIRST|1|2|3|4\r\n") + line, 0, 0);
    EXPECT_EQ(Calls(q.f.surface), "Picture qrcode.bmp 1 2 3 4");
    EXPECT_EQ(q.f.trap.Errors(), QStringList{error});
    EXPECT_EQ(testing_zbar::Decode(q.File()), QByteArray("SECOND"));
  }
}

}  // namespace
}  // namespace zarn
