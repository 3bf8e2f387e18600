// The attribute session: opened and closed in the query module, never tracked by the library.
#include <windows.h>
#include <vyxbidi.h>

#include <cstddef>

#include "frame/query_module.h"
#include "frame/text.h"

namespace {

// Each session text reaches the module in a 16-byte block, terminator included.
constexpr std::size_t kSessionTextBytes = 16;

}  // namespace

using namespace vyx;

extern "C" LONG WINAPI Attrib_OpenSession(BiDiHandle* handle, LPCWSTR first, LPCWSTR second) {
    if (!handle) {
        return BIDI_ERR_BAD_ARGUMENT;
    }
    // A text that does not fit is refused rather than cut, even when no block could be had for
    // it; a block that could not be had goes to the module as a null text.
    if (!FitsAnsiBlock<kSessionTextBytes>(first) || !FitsAnsiBlock<kSessionTextBytes>(second)) {
        return BIDI_ERR_BAD_ARGUMENT;
    }
    const AnsiArgument<kSessionTextBytes> ansiFirst(first);
    const AnsiArgument<kSessionTextBytes> ansiSecond(second);
    return CallModule(handle, vyxquery::Attribute_OpenSession, ansiFirst.get(), ansiSecond.get());
}

extern "C" LONG WINAPI Attrib_CloseSession(BiDiHandle* handle) {
    if (!handle) {
        return BIDI_ERR_BAD_ARGUMENT;
    }
    return CallModule(handle, vyxquery::Attribute_CloseSession);
}
