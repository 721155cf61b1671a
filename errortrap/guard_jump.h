#pragma once
// How the machine-exception guard returns to the step that was running.
#ifdef _WIN32
// From the exception handler, with GCC's builtin jump: it restores the
// registers only, as siglongjmp does, without unwinding the frames of the
// system's exception dispatch that lie in between.
using GuardJump = void* [5];
#define ZARN_GUARD_SET(env) __builtin_setjmp(env)
#define ZARN_GUARD_JUMP(env) __builtin_longjmp(env, 1)
#else
#include <csetjmp>
using GuardJump = sigjmp_buf;
#define ZARN_GUARD_SET(env) sigsetjmp(env, 0)
#define ZARN_GUARD_JUMP(env) siglongjmp(env, 1)
#endif
