// One property sheet's worth of export calls (a bidiprobe dump) through a network query module,
// with the requests it sends counted where they leave the module, for both parts of the
// property-sheet benchmark: on loopback (net_bench.cpp) and through the impairment relay
// (net_table.cpp).
#pragma once

#include <windows.h>
#include <vyxbidi.h>

#include <string>
#include <vector>

namespace bench {

// Requests seen at the module's imports (WinHttpSendRequest for IPP, send for SNMP), with what
// was sent, so that a floor can send the very same bytes.
struct Seen {
    int count = 0;
    int refused = 0;  // of which the system refused (for WinHTTP: never written, e.g. a TLS
                      // handshake whose certificate did not validate)
    std::vector<std::string> bodies;
};
extern Seen g_seen;

// Counts what `module` sends through its imports; false when it imports neither function.
bool PatchModule(HMODULE module);

// Requests made at each step of a dump; a step that is not a snapshot point must make none.
struct DumpCounts {
    int connect = 0, colourOpen = 0, colourCalls = 0, attributeOpen = 0, attributeCalls = 0,
        email = 0, templates = 0, rest = 0;
    int total() const {
        return connect + colourOpen + colourCalls + attributeOpen + attributeCalls + email +
               templates + rest;
    }
};

struct Dumper {
    BiDiHandle* handle;
    std::wstring first, second;
    LONG emailExpected;   // what Misc_GetEMailNotification answers for this printer
    std::string failure;  // the first call that answered otherwise than expected

    bool Check(LONG result, const char* call, LONG expected = BIDI_OK);
    // Runs one dump, from VyxBiDi_Connect to VyxBiDi_Disconnect; `counts` gets the requests of
    // each step.
    void Run(DumpCounts& counts);
};

std::string Narrow(const std::wstring& text);  // the benchmark's URIs are ASCII
// The value after option `name` on the command line, or empty.
std::wstring Argument(int argc, wchar_t** argv, const wchar_t* name);
// A file beside the benchmark's program.
std::wstring Beside(const wchar_t* name);

// Stores `user` of snmp-v3-users.txt (beside the benchmark) for `printer`, with both passwords;
// the credential goes when the object does.
class StoredV3User {
  public:
    StoredV3User(const std::wstring& printer, const std::string& user);
    ~StoredV3User();
    StoredV3User(const StoredV3User&) = delete;
    StoredV3User& operator=(const StoredV3User&) = delete;
    bool stored() const { return stored_; }

  private:
    std::string uri_;
    bool stored_ = false;
};

}  // namespace bench
