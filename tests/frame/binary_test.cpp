// The built VYXBIDI.dll itself: its export table, its imports and its version record.
#include <gtest/gtest.h>
#include <vyxbidi.h>

#include <algorithm>
#include <set>
#include <string>

#include "support/exports.h"
#include "support/layout.h"
#include "support/scripted_module.h"

namespace {

const std::set<std::string> kExpectedExports(std::begin(vyxtest::kAllExports),
                                             std::end(vyxtest::kAllExports));

std::wstring LibraryPath() {
    return vyxtest::ProgramDirectory() + L"VYXBIDI.dll";
}

// The headers of the running architecture: a DLL of the other one would not have loaded.
struct ImageView {
    HMODULE module;
    const BYTE* base;
    const IMAGE_NT_HEADERS* nt;

    explicit ImageView(HMODULE m)
        : module(m),
          base(reinterpret_cast<const BYTE*>(m)),
          nt(reinterpret_cast<const IMAGE_NT_HEADERS*>(
              base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew)) {}

    template <typename T>
    const T* At(DWORD rva) const {
        return reinterpret_cast<const T*>(base + rva);
    }
    const IMAGE_DATA_DIRECTORY& Directory(int index) const {
        return nt->OptionalHeader.DataDirectory[index];
    }
};

extern "C" int vyxtest_c_header_layout(std::size_t* out, int capacity);

TEST(Binary, HeadersGiveCTheLayoutOfThisArchitecture) {
    namespace layout = vyxtest::layout;
    const struct {
        const char* what;
        std::size_t expected;
    } fields[] = {
        {"sizeof(BiDiHandle)", layout::kHandleSize},
        {"BiDiHandle.kind", layout::kHandleKind},
        {"BiDiHandle.queryContext", layout::kHandleQueryContext},
        {"sizeof(FeatureList)", layout::kFeatureListSize},
        {"FeatureList.features", layout::kFeatureListFeatures},
        {"sizeof(FeatureInfo)", layout::kFeatureInfoSize},
        {"FeatureInfo.options", layout::kFeatureInfoOptions},
        {"sizeof(TemplateRecord)", layout::kTemplateRecordSize},
        {"TemplateRecord.items", layout::kTemplateRecordItems},
        {"TemplateRecord.itemCount", layout::kTemplateRecordItemCount},
        {"sizeof(TemplateList)", layout::kTemplateListSize},
        {"TemplateList.count", layout::kTemplateListCount},
    };
    constexpr int kFields = sizeof fields / sizeof fields[0];
    std::size_t seen[kFields] = {};
    ASSERT_EQ(vyxtest_c_header_layout(seen, kFields), kFields);
    for (int i = 0; i < kFields; ++i) {
        EXPECT_EQ(seen[i], fields[i].expected) << fields[i].what;
    }
}

TEST(Binary, IsADllOfThisArchitecture) {
    const HMODULE module = LoadLibraryW(LibraryPath().c_str());
    ASSERT_NE(module, nullptr);
    const ImageView image(module);
    EXPECT_EQ(image.nt->FileHeader.Machine, vyxtest::layout::kImageMachine);
    EXPECT_EQ(image.nt->OptionalHeader.Magic, vyxtest::layout::kIs64Bit
                                                  ? IMAGE_NT_OPTIONAL_HDR64_MAGIC
                                                  : IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_TRUE(image.nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
    FreeLibrary(module);
}

TEST(Binary, ExportsExactlyThePlainNames) {
    const HMODULE module = LoadLibraryW(LibraryPath().c_str());
    ASSERT_NE(module, nullptr);
    const ImageView image(module);
    const auto* exports = image.At<IMAGE_EXPORT_DIRECTORY>(
        image.Directory(IMAGE_DIRECTORY_ENTRY_EXPORT).VirtualAddress);
    const auto* names = image.At<DWORD>(exports->AddressOfNames);
    std::set<std::string> found;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        found.insert(image.At<char>(names[i]));
    }
    EXPECT_EQ(found, kExpectedExports);
    EXPECT_EQ(exports->NumberOfFunctions, kExpectedExports.size());
    FreeLibrary(module);
}

TEST(Binary, ImportsOnlySystemLibraries) {
    const HMODULE module = LoadLibraryW(LibraryPath().c_str());
    ASSERT_NE(module, nullptr);
    const ImageView image(module);
    std::set<std::string> imported;
    for (auto* d = image.At<IMAGE_IMPORT_DESCRIPTOR>(
             image.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress);
         d->Name != 0; ++d) {
        std::string name = image.At<char>(d->Name);
        std::transform(name.begin(), name.end(), name.begin(), ::toupper);
        imported.insert(name);
    }
#if defined(__aarch64__) || defined(_M_ARM64)
    // The C runtime on ARM64 is the UCRT, which Windows there has: its api-ms-win-crt-* sets.
    EXPECT_EQ(imported.count("KERNEL32.DLL"), 1u);
    for (const std::string& name : imported) {
        EXPECT_TRUE(name == "KERNEL32.DLL" || name == "UCRTBASE.DLL" ||
                    name.rfind("API-MS-WIN-CRT-", 0) == 0)
            << name;
    }
#else
    EXPECT_EQ(imported, (std::set<std::string>{"KERNEL32.DLL", "MSVCRT.DLL"}));
#endif
    FreeLibrary(module);
}

std::wstring VersionString(const std::vector<BYTE>& info, const std::wstring& name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = L"\\StringFileInfo\\080004b0\\" + name;
    if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || !value) {
        return L"<missing>";
    }
    return static_cast<const wchar_t*>(value);
}

TEST(Binary, CarriesItsVersionRecord) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(LibraryPath().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(LibraryPath().c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x000F0000u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x000F0000u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

    EXPECT_EQ(VersionString(info, L"FileVersion"), L"2.0.015");
    EXPECT_EQ(VersionString(info, L"ProductVersion"), L"2.0.015");
    EXPECT_EQ(VersionString(info, L"Binary Generated"),
              vyxtest::layout::kIs64Bit ? L"64 bit DLL" : L"32 bit DLL");
    EXPECT_EQ(VersionString(info, L"OriginalFilename"), L"VYXBIDI.dll");
    for (const wchar_t* name :
         {L"CompanyName", L"FileDescription", L"InternalName", L"ProductName", L"LegalCopyright"}) {
        EXPECT_NE(VersionString(info, name), L"<missing>") << name;
    }
}

TEST(Binary, ExportsWorkThroughGetProcAddressAsADriverCallsThem) {
    vyxtest::ScriptedModule queryModule(vyxtest::VariantPath(L"full"));
    const HMODULE library = LoadLibraryW(LibraryPath().c_str());
    ASSERT_NE(library, nullptr);
    auto find = [&](const char* name) {
        return reinterpret_cast<void (*)()>(GetProcAddress(library, name));
    };
    auto initialize = reinterpret_cast<decltype(&VyxBiDi_Initialize)>(find("VyxBiDi_Initialize"));
    auto connect = reinterpret_cast<decltype(&VyxBiDi_Connect)>(find("VyxBiDi_Connect"));
    auto disconnect = reinterpret_cast<decltype(&VyxBiDi_Disconnect)>(find("VyxBiDi_Disconnect"));
    auto terminate = reinterpret_cast<decltype(&VyxBiDi_Terminate)>(find("VyxBiDi_Terminate"));
    ASSERT_TRUE(initialize && connect && disconnect && terminate);
    // x86 decorates __stdcall names; none of them may be exported.
    EXPECT_EQ(find("_VyxBiDi_Initialize@8"), nullptr);
    EXPECT_EQ(find("VyxBiDi_Initialize@8"), nullptr);

    BiDiHandle* handle = nullptr;
    ASSERT_EQ(initialize(&handle, vyxtest::CallerPathFor(L"full").c_str()), BIDI_OK);
    EXPECT_EQ(connect(handle, L"a", L"b"), BIDI_OK);
    EXPECT_EQ(disconnect(handle), BIDI_OK);
    EXPECT_EQ(terminate(handle), BIDI_OK);
    EXPECT_EQ(queryModule.CallNames(),
              (std::vector<std::string>{"VyxQuery_Initialize", "VyxQuery_Connect",
                                        "VyxQuery_Disconnect", "VyxQuery_Terminate"}));
    FreeLibrary(library);
}

}  // namespace
