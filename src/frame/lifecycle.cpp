// The connection's life: choosing and loading the query module, connecting, ending.
#include <windows.h>
#include <vyxbidi.h>

#include "global_buffer.h"
#include "loaded_module.h"
#include "query_module.h"
#include "text.h"

namespace vyx {
namespace {

// Candidate names are derived only from paths that fit the 128-unit name buffer.
constexpr int kShortestDerivablePath = 3;
constexpr int kLongestDerivablePath = 127;
// The path reaches VyxQuery_Initialize in a 256-byte ANSI block.
constexpr std::size_t kAnsiPathBytes = 256;

struct CandidateFamily {
    const wchar_t* letters;    // written over the path's last three characters
    const wchar_t* fixedPath;  // tried when that name does not load
    LONG kind;
};

constexpr CandidateFamily kFamilies[] = {
    {L"SNM", L"D:\\BIDITST\\SNMQRY32.DLL", 0},
    {L"CIN", L"D:\\BIDITST\\VYXQUERY.DLL", 1},
};

bool CanDeriveCandidates(const wchar_t* path) noexcept {
    if (!path) {
        return false;
    }
    const int length = lstrlenW(path);
    return length >= kShortestDerivablePath && length <= kLongestDerivablePath;
}

// The path with its last three characters replaced by the family's letters, whatever they were.
HMODULE LoadDerivedCandidate(const wchar_t* path, const CandidateFamily& family) noexcept {
    wchar_t name[kLongestDerivablePath + 1];
    lstrcpynW(name, path, kLongestDerivablePath + 1);
    lstrcpyW(name + lstrlenW(name) - 3, family.letters);
    return LoadLibraryW(name);
}

HMODULE LoadFromFamily(const wchar_t* path, const CandidateFamily& family) noexcept {
    if (CanDeriveCandidates(path)) {
        if (HMODULE module = LoadDerivedCandidate(path, family)) {
            return module;
        }
    }
    return LoadLibraryW(family.fixedPath);
}

// The first family that yields a module wins; a module that loads stays chosen even if it
// later fails to initialise.
LoadedModule LoadQueryModule(const wchar_t* path, LONG* kind) noexcept {
    for (const CandidateFamily& family : kFamilies) {
        if (HMODULE module = LoadFromFamily(path, family)) {
            *kind = family.kind;
            return LoadedModule(module);
        }
    }
    return LoadedModule();
}

}  // namespace
}  // namespace vyx

using namespace vyx;

extern "C" LONG WINAPI VyxBiDi_Initialize(BiDiHandle** handleOut, LPCWSTR path) {
    if (!handleOut) {
        return BIDI_ERR_FAILED;
    }
    GlobalBuffer<BiDiHandle> handle;
    // The module receives the caller's own path; a null path arrives as an empty string. A path
    // whose ANSI form does not fit is refused before anything is loaded.
    GlobalBuffer<AnsiBlock<kAnsiPathBytes>> ansiPath;
    if (!handle || !ansiPath || !NarrowText(ansiPath->text, kAnsiPathBytes, path)) {
        return BIDI_ERR_FAILED;
    }
    LoadedModule module = LoadQueryModule(path, &handle->kind);
    if (!module) {
        return BIDI_ERR_FAILED;
    }
    handle->module = module.get();
    if (CallModule(handle.get(), vyxquery::VyxQuery_Initialize, ansiPath->text) != BIDI_OK) {
        return BIDI_ERR_FAILED;
    }
    (void)module.release();  // the handle holds it from here
    *handleOut = handle.release();
    return BIDI_OK;
}

extern "C" LONG WINAPI VyxBiDi_Terminate(BiDiHandle* handle) {
    OutputDebugStringW(L"VyxBiDi_Terminate");
    if (!handle) {
        return BIDI_ERR_BAD_ARGUMENT;
    }
    // A module that refuses to end keeps the handle fully usable, so Terminate may be repeated.
    const LONG result = CallModule(handle, vyxquery::VyxQuery_Terminate);
    if (result != BIDI_OK) {
        return result;
    }
    FreeLibrary(handle->module);
    ReleaseGlobal(handle);
    return BIDI_OK;
}

extern "C" LONG WINAPI VyxBiDi_Connect(BiDiHandle* handle, LPCWSTR first, LPCWSTR second) {
    OutputDebugStringW(L"VyxBiDi_Connect");
    if (!handle) {
        return BIDI_ERR_BAD_ARGUMENT;
    }
    const AnsiArgument<128> ansiFirst(first);
    const AnsiArgument<64> ansiSecond(second);
    if (const LONG refused = FirstFailure(ansiFirst, ansiSecond)) {
        return refused;
    }
    return CallModule(handle, vyxquery::VyxQuery_Connect, ansiFirst.get(), ansiSecond.get());
}

extern "C" LONG WINAPI VyxBiDi_Disconnect(BiDiHandle* handle) {
    OutputDebugStringW(L"VyxBiDi_Disconnect");
    if (!handle) {
        return BIDI_ERR_BAD_ARGUMENT;
    }
    return CallModule(handle, vyxquery::VyxQuery_Disconnect);
}
