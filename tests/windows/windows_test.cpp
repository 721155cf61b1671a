// Windows' own parts, run under Wine (or Windows). Where Wine lacks what a
// part needs (printers, a console), the test says what it could not check.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "errortrap/exception_guard.h"
#include "errortrap/trap.h"
#include "forms/form_store.h"
#include "tests/support/fake_pins.h"
#include "tests/support/fakes.h"
#include "tests/support/recording_surface.h"
#include "windows/spooler_forms.h"
#include "windows/spooler_jobs.h"
#include "qt/real_file_system.h"
#include "web/certificate_pins.h"
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

// A TCP socket bound to a free loopback port, and that port.
SOCKET LoopbackSocket(int* port) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  int size = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
  *port = ntohs(address.sin_port);
  return s;
}

// A loopback HTTP server that answers each connection with the next of its
// canned replies, and records the request lines it got.
class CannedServer {
 public:
  explicit CannedServer(std::vector<std::string> replies) : replies_(std::move(replies)) {
    listener_ = LoopbackSocket(&port_);
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

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

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
  int port = 0;
  closesocket(LoopbackSocket(&port));  // a port nobody listens on
  try {
    http.Get(QStringLiteral("http://127.0.0.1:%1/").arg(port), HttpTimeouts{});
    FAIL() << "no error";
  } catch (const ZarnError& e) {
    EXPECT_EQ(e.number(), WinHttpErrorNumber(ERROR_WINHTTP_CANNOT_CONNECT));
    EXPECT_EQ(e.source(), kWinHttpSource);
  }
}

// Cancel while the service keeps the reply: the request stops at the first
// keepWaiting that says no, long before the receive time-out.
TEST(WinHttp, CancelStopsAWaitingRequestAtOnce) {
  int port = 0;
  SOCKET silent = LoopbackSocket(&port);  // takes connections, never answers
  listen(silent, 4);
  WinHttpClient http;
  int asked = 0;
  http.keepWaiting = [&asked] { return ++asked < 5; };
  QElapsedTimer waited;
  waited.start();
  EXPECT_THROW(http.Get(QStringLiteral("http://127.0.0.1:%1/slow").arg(port), HttpTimeouts{}),
               TransferCancelled);
  EXPECT_EQ(asked, 5);
  EXPECT_LT(waited.elapsed(), 30000);  // the receive time-out is 120 s
  closesocket(silent);
}

// Against the https service of tests/windows/https_pins.py: the first reply
// pins the key openssl sees, another pin keeps the request from being sent,
// and plain http to a pinned host is not asked.
TEST(WinHttpPins, TheFirstKeyIsPinnedAndAnotherIsNotAsked) {
  const QString port = qEnvironmentVariable("ZARN_TLS_PORT"), openssl = qEnvironmentVariable("ZARN_TLS_PIN");
  if (port.isEmpty()) GTEST_SKIP() << "needs the https service of https_pins.py (CTest windows_https_pins)";
  const QString origin = QStringLiteral("https://127.0.0.1:") + port;
  WinHttpClient http;
  http.keepWaiting = [] { return true; };  // as the job flow asks: each hop on a thread of its own
  testing::FakePins pins;
  http.UsePins(&pins);
  const HttpReply first = http.Get(origin + QStringLiteral("/first"), HttpTimeouts{});
  EXPECT_EQ(first.body, "PT|/first");
  EXPECT_EQ(pins.calls, QStringList{QStringLiteral("Record ") + origin + u' ' + openssl});

  pins.calls.clear();
  pins.pins[origin] = openssl;
  EXPECT_EQ(http.Get(origin + QStringLiteral("/again"), HttpTimeouts{}).body, "PT|/again");
  pins.pins[origin] = QStringLiteral("sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=");
  const HttpReply other = http.Get(origin + QStringLiteral("/refused"), HttpTimeouts{});
  EXPECT_TRUE(other.body.isEmpty());
  EXPECT_EQ(other.status, 0);
  CannedServer plain({Reply("200 OK", "", "PT|plain")});
  pins.pins[QStringLiteral("https://127.0.0.1:1")] = openssl;
  EXPECT_TRUE(http.Get(plain.Url("/plain"), HttpTimeouts{}).body.isEmpty());
  EXPECT_TRUE(plain.requests.empty());
  EXPECT_EQ(pins.calls, (QStringList{QStringLiteral("Mismatch ") + origin,
                                     QStringLiteral("Mismatch http://127.0.0.1:%1").arg(plain.port())}));
  // What the service was asked, by a client without pins. Wine sends the
  // request although the callback closed its handle before the sending.
  WinHttpClient unpinned;
  const QByteArray seen = unpinned.Get(origin + QStringLiteral("/seen"), HttpTimeouts{}).body;
  if (UnderWine() && seen == "/first\n/again\n/refused")
    std::printf("[ NOTE     ] Wine sent the request whose handle the SENDING_REQUEST callback closed: that another "
                "key keeps the request from being sent is not shown\n");
  else
    EXPECT_EQ(seen, "/first\n/again");
}

// The user's files live on a drive ("C:/Users/..."), where the folders above
// them are made on a fresh account.
TEST(UserFiles, TheFirstPinMakesItsFoldersOnTheDrive) {
  QTemporaryDir dir;
  const QString path = dir.path() + QStringLiteral("/zarn/new/certificate-pins");
  ASSERT_EQ(path.mid(1, 2), QStringLiteral(":/"));
  RealFileSystem files;
  CertificatePins(files, path).Record(QStringLiteral("https://print.example:443"), QStringLiteral("sha256//K"));
  QFile kept(path);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), "https://print.example:443 sha256//K\n");
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

// The job's fate from the spooler's status bits; the real spooler only where
// Wine has a printer to follow a job on.
TEST(SpoolerJobs, StatusBitsTellTheJobsFate) {
  using S = SpoolerReport::State;
  struct Row {
    const char* name;
    SpoolerLook look;
    S state;
    const char* reason;
    bool final;
  };
  const Row rows[] = {
      {"printing", {true, false, JOB_STATUS_PRINTING, {}, PRINTER_STATUS_PRINTING, 0}, S::Printed, "", true},
      {"gone after it was listed", {false, true, 0, {}, 0, 0}, S::Printed, "", true},
      {"cancelled", {true, true, JOB_STATUS_DELETING | JOB_STATUS_PRINTING, {}, 0, 0}, S::Failed, "the job was cancelled", true},
      {"paused job, the driver's words",
       {true, false, JOB_STATUS_PAUSED, QStringLiteral("Held by the admin"), 0, 0}, S::Waiting, "Held by the admin", true},
      {"queued on a jammed, paused printer",
       {true, false, 0, {}, PRINTER_STATUS_PAPER_JAM | PRINTER_STATUS_PAUSED, 0}, S::Waiting, "paused, paper jam", true},
      {"queued on a printer set to work offline",
       {true, false, 0, {}, 0, PRINTER_ATTRIBUTE_WORK_OFFLINE}, S::Waiting, "the printer is offline", true},
      {"queued, toner low only", {true, false, JOB_STATUS_SPOOLING, {}, PRINTER_STATUS_TONER_LOW, 0}, S::Waiting,
       "the printer has not taken it yet", false},
      {"never listed, printer being deleted", {false, false, 0, {}, PRINTER_STATUS_PENDING_DELETION, 0}, S::Refused,
       "the printer is being deleted", true},
      {"never listed", {false, false, 0, {}, 0, 0}, S::Unknown, "", false},
  };
  for (const Row& row : rows) {
    const SpoolerVerdict v = JudgeSpoolerJob(row.look);
    EXPECT_EQ(v.state, row.state) << row.name;
    EXPECT_EQ(v.reason, QString::fromLatin1(row.reason)) << row.name;
    EXPECT_EQ(v.final, row.final) << row.name;
  }
  const SpoolerReport none = FollowSpoolerJob(QStringLiteral("no such printer"), QStringLiteral("x"),
                                              QDateTime::currentDateTime(), 300);
  EXPECT_EQ(none.state, S::Unknown);
  EXPECT_EQ(none.job, 0);
  std::printf("[ NOTE     ] followed on a printer that does not exist only: EnumJobsW, GetJobW and GetPrinterW on a "
              "real queue are not reached here (e2e_windows.py follows a job on a CUPS queue)\n");
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

// The form store gives up the user form listed first; the spooler's own order
// is not known, so user forms are listed in the order zarn added them, those
// it did not add first, built-in forms where they were.
TEST(SpoolerForms, UserFormsAreListedInTheOrderTheyWereAdded) {
  const std::vector<std::pair<uint32_t, QString>> listing{
      {FORM_BUILTIN, QStringLiteral("Letter")}, {FORM_USER, QStringLiteral("c")}, {FORM_USER, QStringLiteral("A")},
      {FORM_BUILTIN, QStringLiteral("A4")},     {FORM_USER, QStringLiteral("other")}, {FORM_USER, QStringLiteral("b")}};
  EXPECT_EQ(FormsInAddedOrder(listing, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}),
            (std::vector<int>{0, 4, 2, 3, 5, 1}));
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
  if (UnderWine() && found.width == 0 && !GetFormNames(spooler, printer).contains(name)) {
    // Wine's local spooler answers AddFormW and DeleteFormW with success and keeps nothing.
    std::printf("[ NOTE     ] Wine's AddFormW and DeleteFormW are stubs: AddFormW said yes, EnumFormsW does not "
                "list the form\n");
    return;
  }
  EXPECT_EQ(found.width, 100000);
  EXPECT_FALSE(AddNewForm(spooler, printer, label, name));
  EXPECT_TRUE(DeleteExistedForm(spooler, printer, name));
  EXPECT_FALSE(GetFormNames(spooler, printer).contains(name));
}

}  // namespace
}  // namespace zarn
