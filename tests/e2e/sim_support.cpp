// Folders, direct module calls and probe processes for the simulator's tests.
#include "sim_support.h"

#include <stdexcept>
#include <string>

#include "support/scratch.h"
#include "support/scripted_module.h"
#include "support/text_util.h"

namespace simtest {
namespace {

std::wstring Widen(const std::string& utf8) {
    return vyxtext::Decode(CP_UTF8, utf8);
}

using vyxtest::Utf8;

// Reads a pipe to its end on a thread of its own, so that neither pipe can fill up and stall
// the child while the other is being read.
struct PipeReader {
    HANDLE pipe;
    std::string bytes;
    static DWORD WINAPI Run(void* self) {
        auto* reader = static_cast<PipeReader*>(self);
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(reader->pipe, buffer, sizeof buffer, &read, nullptr) && read > 0) {
            reader->bytes.append(buffer, read);
        }
        return 0;
    }
};

// Writes a child's standard input on a thread of its own and closes it, so that the child sees
// its end however much it holds.
struct PipeWriter {
    HANDLE pipe;
    std::string bytes;
    static DWORD WINAPI Run(void* self) {
        auto* writer = static_cast<PipeWriter*>(self);
        std::size_t done = 0;
        while (done < writer->bytes.size()) {
            DWORD written = 0;
            if (!WriteFile(writer->pipe, writer->bytes.data() + done,
                           static_cast<DWORD>(writer->bytes.size() - done), &written, nullptr) ||
                written == 0) {
                break;
            }
            done += written;
        }
        CloseHandle(writer->pipe);
        return 0;
    }
};

constexpr DWORD kProbeTimeoutMs = 120000;

ProbeRun Run(const std::wstring& arguments, const std::string* input);

}  // namespace

TempFolder::TempFolder() {
    static int serial = 0;
    path_ = vyxtest::ProgramDirectory() + L"e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++serial) + L"\\";
    if (!CreateDirectoryW(path_.c_str(), nullptr)) {
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            throw std::runtime_error("cannot create a test folder");
        }
        // Left by a crashed run of an earlier process with the same id (wine reuses them).
        vyxtest::RemoveFilesIn(path_);
    }
}

TempFolder::~TempFolder() {
    vyxtest::RemoveFilesIn(path_);
    RemoveDirectoryW(path_.c_str());
}

std::wstring TempFolder::Write(const std::wstring& name, const std::string& bytes) {
    const std::wstring path = path_ + name;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot write a test file");
    }
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return path;
}

std::wstring TempFolder::Copy(const std::wstring& source, const std::wstring& name) {
    const std::wstring path = path_ + name;
    if (!CopyFileW(source.c_str(), path.c_str(), FALSE)) {
        throw std::runtime_error("cannot copy a test file");
    }
    return path;
}

std::wstring BesideProgram(const std::wstring& name) {
    return vyxtest::ProgramDirectory() + name;
}

SimContext::SimContext(const std::string& callerPath, const std::wstring& module)
    : module_(LoadLibraryW(module.c_str())) {
    if (!module_) {
        throw std::runtime_error("cannot load the simulated printer");
    }
    initialized_ = Call(vyxquery::VyxQuery_Initialize, callerPath.c_str());
}

SimContext::~SimContext() {
    if (context_) {
        Call(vyxquery::VyxQuery_Terminate);
    }
    FreeLibrary(module_);
}

void SimContext::OpenEverything() {
    Call(vyxquery::VyxQuery_Connect, "printer", "public");
    Call(vyxquery::Color_OpenSession, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    Call(vyxquery::Attribute_OpenSession, nullptr, nullptr);
}

ProbeRun RunProbe(const std::wstring& arguments) {
    return Run(arguments, nullptr);
}

ProbeRun RunProbe(const std::wstring& arguments, const std::string& input) {
    return Run(arguments, &input);
}

namespace {

ProbeRun Run(const std::wstring& arguments, const std::string* input) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0) ||
        !CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        throw std::runtime_error("cannot create pipes");
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE inRead = nullptr;
    HANDLE inWrite = nullptr;
    if (input) {
        if (!CreatePipe(&inRead, &inWrite, &inherit, 0)) {
            throw std::runtime_error("cannot create pipes");
        }
        SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input ? inRead : GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + BesideProgram(L"bidiprobe.exe") + L"\" " + arguments;
    // Wine has been seen to refuse a process start once on a busy machine; a second try a
    // moment later is not what the tests are about.
    BOOL started = FALSE;
    DWORD startError = 0;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        if (attempt > 0) {
            Sleep(250);
        }
        started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 vyxtest::ProgramDirectory().c_str(), &startup, &process);
        startError = started ? 0 : GetLastError();
    }
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (inRead) {
        CloseHandle(inRead);
    }
    if (!started) {
        CloseHandle(outRead);
        CloseHandle(errRead);
        if (inWrite) {
            CloseHandle(inWrite);
        }
        throw std::runtime_error("cannot start bidiprobe.exe: error " +
                                 std::to_string(startError));
    }
    // Held on the heap for the same reason as the readers below.
    auto* in = input ? new PipeWriter{inWrite, *input} : nullptr;
    const HANDLE writer =
        in ? CreateThread(nullptr, 0, &PipeWriter::Run, in, 0, nullptr) : nullptr;
    // Held on the heap: should a reader never finish, it keeps its buffer when we give up.
    auto* out = new PipeReader{outRead, {}};
    auto* err = new PipeReader{errRead, {}};
    const HANDLE readers[] = {CreateThread(nullptr, 0, &PipeReader::Run, out, 0, nullptr),
                              CreateThread(nullptr, 0, &PipeReader::Run, err, 0, nullptr)};
    // A probe run takes a second or two; a hung one is ended rather than waited for.
    const bool exited = WaitForSingleObject(process.hProcess, kProbeTimeoutMs) == WAIT_OBJECT_0;
    if (!exited) {
        TerminateProcess(process.hProcess, 1);
    }
    const bool drained =
        WaitForMultipleObjects(2, readers, TRUE, kProbeTimeoutMs) == WAIT_OBJECT_0;
    ProbeRun run;
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    for (HANDLE handle : {process.hProcess, process.hThread}) {
        CloseHandle(handle);
    }
    if (writer) {
        // A child that ends without reading its input breaks the pipe, which ends the writer.
        if (WaitForSingleObject(writer, kProbeTimeoutMs) == WAIT_OBJECT_0) {
            delete in;
        }
        CloseHandle(writer);
    }
    if (!drained) {
        throw std::runtime_error("bidiprobe.exe's output did not end");
    }
    run.out = std::move(out->bytes);
    run.err = std::move(err->bytes);
    delete out;
    delete err;
    for (HANDLE handle : {readers[0], readers[1], outRead, errRead}) {
        CloseHandle(handle);
    }
    if (!exited) {
        throw std::runtime_error("bidiprobe.exe did not finish within " +
                                 std::to_string(kProbeTimeoutMs / 1000) + " seconds");
    }
    return run;
}

}  // namespace

std::string ThroughCodePage(const std::string& utf8) {
    return Utf8(vyxtest::FromAnsi(vyxtest::ToAnsi(Widen(utf8))));
}

}  // namespace simtest
