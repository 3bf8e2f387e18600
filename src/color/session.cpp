// Opening and closing a colour session: the module keeps the session, the library only forwards.
#include <windows.h>
#include <vyxbidi.h>

#include "color_calls.h"
#include "frame/query_module.h"
#include "frame/text.h"

using namespace vyx;
using color::kSessionTextBytes;

extern "C" LONG WINAPI ClrBiDi_OpenSession(BiDiHandle* handle, LPCWSTR text1, LPCWSTR text2,
                                           LPCWSTR text3, LPCWSTR text4, LPCWSTR text5,
                                           LPCWSTR text6) {
    if (!handle) {
        return BIDI_ERR_BAD_ARGUMENT;
    }
    // The strings mean nothing to the library: each goes over in the caller's position, a null
    // one as a null pointer, and a string that would not fit its block stops the call before the
    // module sees any of them.
    const AnsiArgument<kSessionTextBytes> ansi1(text1);
    const AnsiArgument<kSessionTextBytes> ansi2(text2);
    const AnsiArgument<kSessionTextBytes> ansi3(text3);
    const AnsiArgument<kSessionTextBytes> ansi4(text4);
    const AnsiArgument<kSessionTextBytes> ansi5(text5);
    const AnsiArgument<kSessionTextBytes> ansi6(text6);
    if (const LONG refused = FirstFailure(ansi1, ansi2, ansi3, ansi4, ansi5, ansi6)) {
        return refused;
    }
    return CallModule(handle, vyxquery::Color_OpenSession, ansi1.get(), ansi2.get(), ansi3.get(),
                      ansi4.get(), ansi5.get(), ansi6.get());
}

extern "C" LONG WINAPI ClrBiDi_CloseSession(BiDiHandle* handle) {
    OutputDebugStringW(L"ClrBiDi_CloseSession");
    if (!handle) {
        return BIDI_ERR_BAD_ARGUMENT;
    }
    return CallModule(handle, vyxquery::Color_CloseSession);
}
