#pragma once
// The QApplication that widgets and the clipboard need, made before the first
// test and gone after the last; on the offscreen platform when there is no
// display (Windows has its own platform and no display to ask for).
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace zarn::testing {

class WidgetsApp : public ::testing::Environment {
 public:
  void SetUp() override {
#ifndef _WIN32
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    static int argc = 1;
    static char name[] = "zarn-test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

}  // namespace zarn::testing
