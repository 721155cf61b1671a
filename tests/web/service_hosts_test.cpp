// The service host patterns of the settings file and how addresses meet them.
#include "web/service_hosts.h"

#include <gtest/gtest.h>

namespace zarn {
namespace {

TEST(HostAllowList, PatternsAgainstHostsAndPorts) {
  struct Row {
    const char* line;
    const char* host;
    int port;
    bool allowed;
  } rows[] = {
      {"", "evil.com", 80, true},
      {" \t ", "evil.com", 80, true},
      {"*.example.com", "a.example.com", 443, true},
      {"*.example.com", "x.y.example.com", 80, true},
      {"*.example.com", "example.com", 80, false},
      {"*.example.com", "evil-example.com", 80, false},
      {"*.example.com", "a.example.com.evil.org", 80, false},
      {"Printing.Example.COM", "printing.example.com", 443, true},
      {"printing.example.com", "PRINTING.example.COM", 80, true},
      {"printing.example.com", "printing.example.com.", 80, true},
      {"printing.example.com", "printing.example.co", 80, false},
      {"printing.example.com:8443", "printing.example.com", 8443, true},
      {"printing.example.com:8443", "printing.example.com", 443, false},
      {"printing.example.com:8443", "printing.example.com", -1, false},
      {"*.example.com:81", "a.example.com", 81, true},
      {"*.example.com:81", "a.example.com", 80, false},
      {"a.org\tb.org:81", "a.org", 1, true},
      {"a.org\tb.org:81", "b.org", 81, true},
      {"a.org  b.org:81", "b.org", 80, false},
      {"[::1]:8080", "::1", 8080, true},
      {"[::1]:8080", "[::1]", 8080, true},
      {"[::1]:8080", "::1", 80, false},
      {"[::1]", "[::1]", 631, true},
      {"127.0.0.1", "127.0.0.2", 80, false},
      {"*.0.0.1", "127.0.0.1", 80, false},
      {"*.1", "::1", 80, false},
      {"printing.example.com", "", 80, false},
      // A list of nothing but mistakes allows nothing rather than everything.
      {"*", "evil.com", 80, false},
      {"*.", "evil.com", 80, false},
      {"evil.com:http", "evil.com", 80, false},
      {"evil.com:99999", "evil.com", 80, false},
      {"evil.com:", "evil.com", 80, false},
      {"http://evil.com", "evil.com", 80, false},
      {"bad:port a.org", "a.org", 80, true},
  };
  for (const Row& r : rows)
    EXPECT_EQ(HostAllowList::Parse(r.line).Allows(r.host, r.port), r.allowed)
        << '"' << r.line << "\" " << r.host << ':' << r.port;
}

TEST(HostAllowList, AddressesAndHowARefusalNamesThem) {
  struct Row {
    const char* line;
    const char* url;
    bool allowed;
    const char* named;
  } rows[] = {
      {"printing.example.com", "https://PRINTING.example.com/get?id=1", true, "printing.example.com:443"},
      {"printing.example.com:443", "https://printing.example.com/get", true, "printing.example.com:443"},
      {"printing.example.com:443", "http://printing.example.com/get", false, "printing.example.com:80"},
      {"printing.example.com", "printing.example.com/get?id=1&random=0.7", true, "printing.example.com:80"},
      {"printing.example.com:8080", "printing.example.com:8080/get?back=http", true, "printing.example.com:8080"},
      {"printing.example.com", "http://printing.example.com@evil.com/", false, "evil.com:80"},
      {"printing.example.com", "http://evil.com/?printing.example.com", false, "evil.com:80"},
      {"[::1]:8080", "http://[::1]:8080/x", true, "[::1]:8080"},
      {"printing.example.com", "file:///etc/passwd", false, "file:///etc/passwd"},
      {"", "file:///etc/passwd", true, "file:///etc/passwd"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(HostAllowList::Parse(r.line).AllowsUrl(r.url), r.allowed) << r.line << " / " << r.url;
    EXPECT_EQ(UrlHostText(r.url), QString(r.named)) << r.url;
  }
}

}  // namespace
}  // namespace zarn
