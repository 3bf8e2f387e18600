// The test query module's own interface: how a test hooks its entry points.
#pragma once

#include <windows.h>

// What an entry point answers when no hook is set for it.
#define TEST_MODULE_NO_HOOK ((LONG)0x7E5700FF)

// Exported by every variant of the test query module. `function` is called, with `user` first,
// for every call of the entry point `name`; it has the entry point's parameters after `user`
// and the default calling convention. A null function removes the hook.
typedef BOOL(WINAPI* PFN_TestQueryModule_SetHook)(const char* name, void (*function)(), void* user);
