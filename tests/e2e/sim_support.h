// Test support for the simulated printer and bidiprobe: folders of descriptions, the module
// called directly, and the probe run as a separate process.
#pragma once

#include <windows.h>
#include <vyxquery.h>

#include <string>
#include <vector>

namespace simtest {

// A folder beside the test program, removed with everything in it at the end.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder, with a trailing backslash.
    const std::wstring& Path() const { return path_; }
    // Writes `bytes` as the file `name`; returns its path.
    std::wstring Write(const std::wstring& name, const std::string& bytes);
    // Copies a file into the folder; returns its path.
    std::wstring Copy(const std::wstring& source, const std::wstring& name);

  private:
    std::wstring path_;
};

// A file beside the test program: "VYXBIDI.SNM", "reduced\\VYXBIDI.SNM", "bidiprobe.exe".
std::wstring BesideProgram(const std::wstring& name);

// One query context of the simulated printer, made with VyxQuery_Initialize on `callerPath`
// and ended with VyxQuery_Terminate.
class SimContext {
  public:
    explicit SimContext(const std::string& callerPath,
                        const std::wstring& module = BesideProgram(L"VYXBIDI.SNM"));
    ~SimContext();
    SimContext(const SimContext&) = delete;
    SimContext& operator=(const SimContext&) = delete;

    LONG initialized() const { return initialized_; }
    HMODULE module() const { return module_; }

    template <typename Pfn, typename... Arguments>
    LONG Call(vyxquery::EntryPoint<Pfn> entry, Arguments... arguments) {
        const FARPROC found = GetProcAddress(module_, entry.name);
        if (!found) {
            return -12345;
        }
        return reinterpret_cast<Pfn>(reinterpret_cast<void (*)()>(found))(&context_, arguments...);
    }

    // Connects and opens both sessions, as a caller does before the family calls.
    void OpenEverything();

  private:
    HMODULE module_ = nullptr;
    VyxQueryContext context_ = nullptr;
    LONG initialized_ = -1;
};

struct ProbeRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;  // standard output, UTF-8
    std::string err;  // standard error, UTF-8
};

// Runs bidiprobe.exe with these arguments (already quoted as a command line needs).
ProbeRun RunProbe(const std::wstring& arguments);
// The same with `input` as its standard input, a pipe that ends after those bytes.
ProbeRun RunProbe(const std::wstring& arguments, const std::string& input);

// What a text becomes on its way through the ANSI code page and back, as UTF-8: what the probe
// reports for a text that the module holds.
std::string ThroughCodePage(const std::string& utf8);

}  // namespace simtest
