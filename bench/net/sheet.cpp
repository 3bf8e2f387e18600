#include "sheet.h"

#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>

#include <cwchar>
#include <fstream>
#include <sstream>

#include "credentials.h"
#include "import_patch.h"
#include "options.h"

namespace bench {

Seen g_seen;

namespace {

// The module is the library's business, so the benchmark counts what it sends where it leaves
// the process.
using PFN_SendRequest = BOOL(WINAPI*)(HINTERNET, LPCWSTR, DWORD, LPVOID, DWORD, DWORD, DWORD_PTR);
using PFN_Send = int(WSAAPI*)(SOCKET, const char*, int, int);
PFN_SendRequest g_sendRequest = nullptr;
PFN_Send g_send = nullptr;

BOOL WINAPI CountedSendRequest(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID body,
                               DWORD bodyLength, DWORD total, DWORD_PTR context) {
    ++g_seen.count;
    g_seen.bodies.emplace_back(static_cast<const char*>(body), bodyLength);
    const BOOL sent =
        g_sendRequest(request, headers, headersLength, body, bodyLength, total, context);
    const DWORD error = GetLastError();
    g_seen.refused += !sent;
    SetLastError(error);
    return sent;
}

int WSAAPI CountedSend(SOCKET s, const char* data, int length, int flags) {
    ++g_seen.count;
    g_seen.bodies.emplace_back(data, length > 0 ? length : 0);
    return g_send(s, data, length, flags);
}

}  // namespace

bool PatchModule(HMODULE module) {
    if (void** slot = vyximport::ImportSlot(module, "WINHTTP.dll", "WinHttpSendRequest")) {
        g_sendRequest = reinterpret_cast<PFN_SendRequest>(
            vyximport::SwapSlot(slot, reinterpret_cast<void*>(&CountedSendRequest)));
        return true;
    }
    if (void** slot = vyximport::ImportSlot(module, "WS2_32.dll", "send")) {
        g_send = reinterpret_cast<PFN_Send>(
            vyximport::SwapSlot(slot, reinterpret_cast<void*>(&CountedSend)));
        return true;
    }
    return false;
}

bool Dumper::Check(LONG result, const char* call, LONG expected) {
    if (result != expected && failure.empty()) {
        failure = std::string(call) + " returned " + std::to_string(result);
    }
    return result == expected;
}

void Dumper::Run(DumpCounts& counts) {
    int mark = g_seen.count;
    auto step = [&mark](int& into) {
        into += g_seen.count - mark;
        mark = g_seen.count;
    };
    Check(VyxBiDi_Connect(handle, first.c_str(), second.c_str()), "VyxBiDi_Connect");
    step(counts.connect);

    Check(ClrBiDi_OpenSession(handle, L"", L"", L"", L"", L"", L""), "ClrBiDi_OpenSession");
    step(counts.colourOpen);
    FeatureList* list = nullptr;
    if (Check(ClrBiDi_GetFeatureList(handle, &list), "ClrBiDi_GetFeatureList")) {
        for (SHORT i = 0; i < list->featureCount; ++i) {
            FeatureInfo* info = nullptr;
            Check(ClrBiDi_GetFeatureInfo(handle, list->features[i]->first, &info),
                  "ClrBiDi_GetFeatureInfo");
            ClrBiDi_DeleteFeatureInfo(handle, &info);
        }
    }
    ClrBiDi_DeleteFeatureList(handle, &list);
    Check(ClrBiDi_CloseSession(handle), "ClrBiDi_CloseSession");
    step(counts.colourCalls);

    Check(Attrib_OpenSession(handle, nullptr, nullptr), "Attrib_OpenSession");
    step(counts.attributeOpen);
    TrayRecord* trays = nullptr;
    TonerRecord* toners = nullptr;
    InstallablesRecord* installables = nullptr;
    LONG count = 0;
    DWORD presence = 0;
    Check(Attrib_GetPaperConsumables(handle, &trays, &count), "Attrib_GetPaperConsumables");
    Attrib_FreePaperConsBuffers(handle, &trays);
    Check(Attrib_GetTonerConsumables(handle, &toners, &count), "Attrib_GetTonerConsumables");
    Attrib_FreeTonerConsBuffers(handle, &toners);
    // Not every option is fitted, so this may answer BIDI_ERR_FAILED only if none is.
    Check(Attrib_GetInstallableOptions(handle, &installables, &presence),
          "Attrib_GetInstallableOptions");
    Attrib_FreeInstallablesBuffers(handle, &installables);
    Check(Attrib_CloseSession(handle), "Attrib_CloseSession");
    step(counts.attributeCalls);

    Check(Misc_GetEMailNotification(handle, nullptr), "Misc_GetEMailNotification", emailExpected);
    step(counts.email);

    TemplateList templates{};
    Check(JobTplate_GetAll(handle, &templates), "JobTplate_GetAll");
    JobTplate_GetAll_Free(handle, &templates);
    step(counts.templates);

    Check(VyxBiDi_Disconnect(handle), "VyxBiDi_Disconnect");
    step(counts.rest);
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

std::wstring Argument(int argc, wchar_t** argv, const wchar_t* name) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::wcscmp(argv[i], name) == 0) {
            return argv[i + 1];
        }
    }
    return {};
}

std::wstring Beside(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length < MAX_PATH ? length : 0);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + name;
}

StoredV3User::StoredV3User(const std::wstring& printer, const std::string& user) {
    vyxsnmp::Endpoint endpoint;
    vyxsnmp::ParsePrinter(Narrow(printer), endpoint);
    uri_ = vyxsnmp::NormalisedUri(endpoint);
    std::ifstream file(Narrow(Beside(L"snmp-v3-users.txt")));
    for (std::string line; std::getline(file, line);) {
        std::istringstream fields(line);
        std::string name, auth, authPassword, priv, privPassword;
        if (fields >> name >> auth >> authPassword >> priv >> privPassword && name == user) {
            vyxserve::StoredCredential credential;
            credential.user = std::wstring(user.begin(), user.end());
            credential.secrets.emplace_back(authPassword.data(), authPassword.size());
            credential.secrets.emplace_back(privPassword.data(), privPassword.size());
            stored_ = vyxserve::WriteCredential(uri_, credential) == 0;
        }
    }
}

StoredV3User::~StoredV3User() {
    if (stored_) {
        vyxserve::DeleteCredential(uri_);
    }
}

}  // namespace bench
