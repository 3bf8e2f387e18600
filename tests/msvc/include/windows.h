/* Test-only stand-in for the Windows SDK's windows.h: the few types and macros that the public
 * headers and the MSVC-ABI caller use, with the sizes the SDK gives them, so that both compile
 * for the MSVC ABI with clang alone. */
#ifndef VYXTEST_WINDOWS_H
#define VYXTEST_WINDOWS_H

#define WINAPI __stdcall

typedef long LONG; /* 4 bytes on both architectures (LLP64) */
typedef unsigned long DWORD;
typedef short SHORT;
typedef unsigned char BYTE;
typedef int BOOL;
#ifdef __cplusplus
typedef wchar_t WCHAR;
#else
typedef unsigned short WCHAR; /* what L"..." is made of in C for this ABI */
#endif
typedef const WCHAR* LPCWSTR;
typedef WCHAR* LPWSTR;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef void* HANDLE;
typedef struct HINSTANCE__* HMODULE;

#endif /* VYXTEST_WINDOWS_H */
