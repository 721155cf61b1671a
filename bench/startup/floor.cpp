// The least a client built on Qt Widgets and libcurl can do before its
// request, with zarn's own start-up measures: a window with one line of text
// shown and painted, then one GET of the address in argv[1]. The start-up
// benchmark runs it beside zarn, so zarn's figure has a floor to be read
// against on the machine at hand.
#include <QApplication>
#include <QLabel>
#include <curl/curl.h>
#include <fontconfig/fontconfig.h>

#include <thread>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  if (!qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");  // no dbus-launch search
  std::thread fonts([] { FcInit(); });
  std::thread http([] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  QApplication app(argc, argv);
  fonts.join();
  http.join();
  QLabel window(QStringLiteral("ZARN v1.0.0"));
  window.show();
  window.repaint();
  app.processEvents();
  CURL* h = curl_easy_init();
  curl_easy_setopt(h, CURLOPT_URL, argv[1]);
  const CURLcode result = curl_easy_perform(h);
  curl_easy_cleanup(h);
  return result == CURLE_OK ? 0 : 1;
}
