#include "linux/program_folder.h"

#include <gtest/gtest.h>

namespace zarn {
namespace {

TEST(ProgramFolder, BesideAWritableProgramElseTheUsersDataFolder) {
  struct Row {
    const char* name;
    const char* executableFolder;
    bool writable;
    const char* xdgDataHome;
    const char* expected;
  };
  const Row rows[] = {
      {"per-user install", "/home/anna/.local/share/zarn", true, "", "/home/anna/.local/share/zarn"},
      {"packaged", "/usr/bin", false, "", "/home/anna/.local/share/zarn"},
      {"packaged, run by root", "/usr/bin", true, "", "/home/anna/.local/share/zarn"},
      {"packaged, XDG_DATA_HOME set", "/usr/bin", false, "/data/anna", "/data/anna/zarn"},
      {"a relative XDG_DATA_HOME is ignored", "/opt/zarn", false, "data", "/home/anna/.local/share/zarn"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(ChooseProgramFolder(r.executableFolder, r.writable, r.xdgDataHome, "/home/anna"), r.expected)
        << r.name;
  }
}

}  // namespace
}  // namespace zarn
