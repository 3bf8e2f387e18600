// The library's 24 exports, resolved by name from a VYXBIDI.dll loaded by path, as a driver does.
#pragma once

#include <windows.h>
#include <vyxbidi.h>

#include <string>

namespace bidiprobe {

#define BIDIPROBE_EXPORTS(X)          \
    X(VyxBiDi_Initialize)             \
    X(VyxBiDi_Terminate)              \
    X(VyxBiDi_Connect)                \
    X(VyxBiDi_Disconnect)             \
    X(ClrBiDi_OpenSession)            \
    X(ClrBiDi_CloseSession)           \
    X(ClrBiDi_GetFeatureList)         \
    X(ClrBiDi_DeleteFeatureList)      \
    X(ClrBiDi_GetFeatureInfo)         \
    X(ClrBiDi_DeleteFeatureInfo)      \
    X(ClrBiDi_SelectOption)           \
    X(Attrib_OpenSession)             \
    X(Attrib_CloseSession)            \
    X(Attrib_GetPaperConsumables)     \
    X(Attrib_FreePaperConsBuffers)    \
    X(Attrib_GetTonerConsumables)     \
    X(Attrib_FreeTonerConsBuffers)    \
    X(Attrib_GetInstallableOptions)   \
    X(Attrib_FreeInstallablesBuffers) \
    X(Misc_GetEMailNotification)      \
    X(JobTplate_GetNames)             \
    X(JobTplate_GetNames_Free)        \
    X(JobTplate_GetAll)               \
    X(JobTplate_GetAll_Free)

// Each export's address, or null when this VYXBIDI.dll lacks it.
struct Exports {
#define BIDIPROBE_EXPORT_FIELD_(name) decltype(&::name) name = nullptr;
    BIDIPROBE_EXPORTS(BIDIPROBE_EXPORT_FIELD_)
#undef BIDIPROBE_EXPORT_FIELD_

    bool Has(const char* name) const;
};

// VYXBIDI.dll, loaded for the life of this object.
class Library {
  public:
    Library() = default;
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Loads the DLL and resolves every export; false (with the system's error) if it won't load.
    bool Load(const std::wstring& path, DWORD* error);

    const Exports& exports() const { return exports_; }
    // The full path of the loaded file.
    const std::wstring& path() const { return path_; }

  private:
    HMODULE module_ = nullptr;
    Exports exports_;
    std::wstring path_;
};

}  // namespace bidiprobe
