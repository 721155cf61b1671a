// Windows' own parts, run under Wine (or Windows). Where Wine lacks what a
// part needs (printers, a console), the test says what it could not check.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <thread>
#include <vector>

#include "errortrap/exception_guard.h"
#include "errortrap/trap.h"
#include "forms/form_store.h"
#include "tests/support/fakes.h"
#include "tests/support/recording_surface.h"
#include "windows/spooler_forms.h"
#include "windows/win_clipboard.h"
#include "windows/winhttp_client.h"
#include "tests/support/machine_faults.h"

// After the project's headers: these define the spooler's names as macros.
#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>
#include <winspool.h>

namespace zarn {
namespace {

using testing::ScopedTrapHost;

// A loopback HTTP server that answers each connection with the next of its
// canned replies, and records the request lines it got.
class CannedServer {
 public:
  explicit CannedServer(std::vector<std::string> replies) : replies_(std::move(replies)) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int size = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    listen(listener_, 4);
    thread_ = std::thread([this] {
      for (const std::string& reply : replies_) {
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) return;
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
          const int n = recv(client, buffer, sizeof buffer, 0);
          if (n <= 0) break;
          request.append(buffer, n);
        }
        requests.push_back(request.substr(0, request.find("\r\n")));
        send(client, reply.data(), static_cast<int>(reply.size()), 0);
        shutdown(client, SD_SEND);
        closesocket(client);
      }
    });
  }
  ~CannedServer() {
    closesocket(listener_);
    thread_.join();
  }
  int port() const { return port_; }
  QString Url(const char* path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path); }
  std::vector<std::string> requests;

 private:
  std::vector<std::string> replies_;
  SOCKET listener_;
  int port_ = 0;
  std::thread thread_;
};

std::string Reply(const char* status, const std::string& headers, const std::string& body) {
  return std::string("HTTP/1.1 ") + status + "\r\n" + headers + "Content-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

// A redirect is followed only after the host check has seen its host, and an
// error page's body is the reply (the service request does not look at the
// status); a download of the same error page fails and writes nothing.
TEST(WinHttp, RedirectHopsAreCheckedAndAnErrorPageIsAReplyButNoDownload) {
  CannedServer server({Reply("302 Found", "Location: /script?x=%C3%A4\r\n", ""),
                       Reply("500 Internal Server Error", "Content-Type: text/plain\r\n", "PT|oops"),
                       Reply("500 Internal Server Error", "", "not a picture")});
  std::vector<QString> asked;
  const HostCheck check = [&](const QString& host, int port) {
    asked.push_back(host + u':' + QString::number(port));
    return true;
  };
  WinHttpClient http;
  const HttpReply reply = http.Get(server.Url("/first?name=a b"), HttpTimeouts{}, check);
  EXPECT_EQ(reply.status, 500);
  EXPECT_EQ(reply.body, "PT|oops");
  EXPECT_EQ(reply.contentType, "text/plain");
  const QString host = QStringLiteral("127.0.0.1:%1").arg(server.port());
  EXPECT_EQ(asked, (std::vector<QString>{host, host}));
  QTemporaryDir dir;
  const QString target = dir.filePath(QStringLiteral("logo.png"));
  WinHttpDownloader downloader;
  EXPECT_FALSE(downloader.Download(server.Url("/logo.png"), target, check));
  EXPECT_FALSE(QFile::exists(target));
  ASSERT_EQ(server.requests.size(), 3u);
  EXPECT_EQ(server.requests[0], "GET /first?name=a%20b HTTP/1.1");
  EXPECT_EQ(server.requests[1], "GET /script?x=%C3%A4 HTTP/1.1");
}

// A refused connection is the trap's error with WinHTTP's number.
TEST(WinHttp, NoServerIsAnErrorOfTheRequestObject) {
  WinHttpClient http;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);  // a port nobody listens on
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  int size = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
  closesocket(s);
  try {
    http.Get(QStringLiteral("http://127.0.0.1:%1/").arg(ntohs(address.sin_port)), HttpTimeouts{});
    FAIL() << "no error";
  } catch (const ZarnError& e) {
    EXPECT_EQ(e.number(), WinHttpErrorNumber(ERROR_WINHTTP_CANNOT_CONNECT));
    EXPECT_EQ(e.source(), kWinHttpSource);
  }
}

TEST(Clipboard, TheTextIsTheSystemsInUnicode) {
  const QString text = QStringLiteral("ZARN last run: 09/12/2026\r\nGrüße ✓\r\nZARN end: x");
  WinClipboard().SetText(text);
  ASSERT_TRUE(OpenClipboard(nullptr));
  const HANDLE data = GetClipboardData(CF_UNICODETEXT);
  const QString read = data ? QString::fromWCharArray(static_cast<const wchar_t*>(GlobalLock(data))) : QString();
  if (data) GlobalUnlock(data);
  CloseClipboard();
  EXPECT_EQ(read, text);
}

// The guard on Windows: the table's texts for real faults; Ctrl+C where a
// console can send one.
TEST(ExceptionFilter, FaultsAndCtrlCBecomeError65535) {
  vbwInitializeProtector();
  ScopedTrapHost t;
  Trap trap(Proc::DrawImage);
  trap.Step([] { testing::StoreThroughNull(); });
  volatile int result = 0;
  trap.Step([&] { result = testing::DivideByZero(); });
  QStringList expected{"65535 Exception: Access Violation", "65535 Exception: Integer Divide By Zero"};
  if (GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
    trap.Step([] { Sleep(5000); });
    expected << "65535 Exception: Control C Exit";
  } else {
    std::printf("[ NOTE     ] no console to send Ctrl+C from (error %lu): the console control handler is not checked\n",
                GetLastError());
  }
  EXPECT_EQ(t.Errors(), expected);
}

// The device-mode record the form store edits is the ANSI layout; the
// driver's wide record gets back the store's changes and keeps all else.
TEST(SpoolerForms, DevModeRecordsConvertBothWays) {
  QByteArray wide(sizeof(DEVMODEW) + 8, '\0');
  auto* w = reinterpret_cast<DEVMODEW*>(wide.data());
  std::wcscpy(w->dmDeviceName, L"Office printer");
  std::wcscpy(w->dmFormName, L"Letter");
  w->dmSize = sizeof(DEVMODEW);
  w->dmDriverExtra = 8;
  w->dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_FORMNAME;
  w->dmOrientation = DMORIENT_LANDSCAPE;
  w->dmCopies = 3;
  w->dmLogPixels = 600;
  std::memcpy(wide.data() + sizeof(DEVMODEW), "DRIVER!!", 8);

  QByteArray ansi = AnsiDevMode(wide);
  ASSERT_EQ(ansi.size(), static_cast<qsizetype>(sizeof(DEVMODEA) + 8));
  const auto* a = reinterpret_cast<const DEVMODEA*>(ansi.constData());
  EXPECT_STREQ(reinterpret_cast<const char*>(a->dmDeviceName), "Office printer");
  EXPECT_STREQ(reinterpret_cast<const char*>(a->dmFormName), "Letter");
  EXPECT_EQ(a->dmCopies, 3);
  EXPECT_EQ(a->dmLogPixels, 600);
  EXPECT_EQ(ansi.right(8), "DRIVER!!");

  std::memcpy(ansi.data() + kDmFormNameOffset, "Label 10x5\0     ", 16);
  const uint32_t fields = DM_FORMNAME;
  std::memcpy(ansi.data() + kDmFieldsOffset, &fields, 4);
  const QByteArray back = WideDevMode(wide, ansi);
  const auto* b = reinterpret_cast<const DEVMODEW*>(back.constData());
  EXPECT_EQ(QString::fromWCharArray(b->dmFormName), "Label 10x5");
  EXPECT_EQ(b->dmFields, static_cast<DWORD>(DM_FORMNAME));
  EXPECT_EQ(b->dmSize, sizeof(DEVMODEW));
  EXPECT_EQ(b->dmOrientation, DMORIENT_LANDSCAPE);
  EXPECT_EQ(QString::fromWCharArray(b->dmDeviceName), "Office printer");
  EXPECT_EQ(back.right(8), "DRIVER!!");
}

// The form store's procedures on the real spooler: a printer that does not
// exist gives the neutral results; on the first printer the spooler lists
// (Wine has one only where CUPS has queues), a user form is added, found,
// refused twice and deleted.
TEST(SpoolerForms, TheFormStoreOnTheSpooler) {
  ScopedTrapHost t;
  testing::RecordingSurface surface;
  WinFormSpooler spooler(surface);
  FormSize size{1, 2};
  EXPECT_TRUE(GetFormNames(spooler, QStringLiteral("no such printer")).isEmpty());
  EXPECT_EQ(GetFormproperties(spooler, QStringLiteral("no such printer"), size, QStringLiteral("A4")), 0);
  EXPECT_FALSE(AddNewForm(spooler, QStringLiteral("no such printer"), size, QStringLiteral("x")));
  EXPECT_FALSE(DeleteExistedForm(spooler, QStringLiteral("no such printer"), QStringLiteral("x")));

  DWORD needed = 0, count = 0;
  EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed + 1);
  if (needed == 0 || !EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 4, buffer.data(), needed, &needed, &count) ||
      count == 0) {
    std::printf("[ NOTE     ] the spooler lists no printer: EnumFormsW, AddFormW, DeleteFormW and "
                "DocumentPropertiesW are not reached\n");
    return;
  }
  const QString printer = QString::fromWCharArray(reinterpret_cast<PRINTER_INFO_4W*>(buffer.data())->pPrinterName);
  const QStringList names = GetFormNames(spooler, printer);
  std::printf("[ NOTE     ] printer \"%s\": %lld forms listed\n", qPrintable(printer), static_cast<long long>(names.size()));
  const QString name = QStringLiteral("zarn test form");
  DeleteExistedForm(spooler, printer, name);
  FormSize label{100000, 50000};
  if (!AddNewForm(spooler, printer, label, name)) {
    std::printf("[ NOTE     ] the spooler refused AddFormW (Wine keeps no user forms)\n");
    return;
  }
  FormSize found{0, 0};
  GetFormproperties(spooler, printer, found, QStringLiteral("ZARN TEST FORM"));
  EXPECT_EQ(found.width, 100000);
  EXPECT_FALSE(AddNewForm(spooler, printer, label, name));
  EXPECT_TRUE(DeleteExistedForm(spooler, printer, name));
  EXPECT_FALSE(GetFormNames(spooler, printer).contains(name));
}

}  // namespace
}  // namespace zarn
