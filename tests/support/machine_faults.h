#pragma once
// Real machine faults for the guard's tests: an access violation and an
// integer division by zero that the processor raises. They are not undefined
// behaviour caught early: the sanitizer build must let them through.

namespace zarn::testing {

inline volatile int g_zero = 0;
inline int* volatile g_null = nullptr;

__attribute__((no_sanitize("undefined"), noinline)) inline void StoreThroughNull() { *g_null = 1; }
__attribute__((no_sanitize("undefined"), noinline)) inline int DivideByZero() { return 10 / g_zero; }

}  // namespace zarn::testing
