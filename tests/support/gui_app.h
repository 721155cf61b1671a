#pragma once
// The Qt application that fonts, painting and the real print surface need.
namespace zarn::testing {

// A QGuiApplication, on the offscreen platform unless one is chosen (on
// Windows on its own platform), created once and kept for the whole test program.
void EnsureGuiApp();

}  // namespace zarn::testing
