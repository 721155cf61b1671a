#pragma once
// Fakes for the job flow: the window, the clipboard and an HTTP client that
// answer from what the test set and record what they were asked.
#include <QString>
#include <QStringList>

#include "platform/clipboard.h"
#include "platform/http.h"
#include "platform/main_window.h"
#include "platform/notifier.h"

namespace zarn::testing {

// Records "caption <text>", "show", "events" and "progress <line>" in the
// order of the calls.
class FakeMainWindow final : public MainWindow {
 public:
  void SetVersionCaption(const QString& caption) override { calls << QStringLiteral("caption ") + caption; }
  void ShowAndRepaint() override { calls << QStringLiteral("show"); }
  void ProcessEvents() override { calls << QStringLiteral("events"); }
  void ShowProgress(const QString& line) override { calls << QStringLiteral("progress ") + line; }
  QStringList calls;
};

// Records each notice as "summary|body|urgent" (urgent 0 or 1).
class FakeNotifier final : public Notifier {
 public:
  void Notify(const Notice& n) override {
    notices << n.summary + u'|' + n.body + u'|' + QString::number(n.urgent ? 1 : 0);
  }
  QStringList notices;
};

class FakeClipboard final : public Clipboard {
 public:
  void SetText(const QString& text) override { texts << text; }
  QStringList texts;  // every text put on the clipboard, in order
};

// Answers every GET with `body` (UTF-8) and records the addresses.
class ScriptedHttp final : public HttpClient {
 public:
  HttpReply Get(const QString& url, const HttpTimeouts&, const HostCheck& = {}) override {
    urls << url;
    return HttpReply{200, QByteArrayLiteral("text/plain; charset=utf-8"), body.toUtf8()};
  }
  QString body;
  QStringList urls;
};

}  // namespace zarn::testing
