// Reads the description file beside the caller's path, and reports why one was refused.
#include "printer_file.h"

#include <windows.h>

#include "code_page_text.h"
#include "description.h"

namespace vyxsim {
namespace {

// A handle closed on every path.
class FileHandle {
  public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

std::string ReadWholeFile(const std::wstring& path) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        throw DescriptionError("cannot open the file (error " + std::to_string(GetLastError()) +
                               ")");
    }
    LARGE_INTEGER size;
    constexpr LONGLONG kLargestDescription = 16 * 1024 * 1024;
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargestDescription) {
        throw DescriptionError("the file is too large or its size is unknown");
    }
    std::string text(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!text.empty() &&
        (!ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr) ||
         read != text.size())) {
        throw DescriptionError("cannot read the file");
    }
    return text;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteToStandardError(const std::wstring& line) {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(error, &mode)) {
        WriteConsoleW(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    } else {
        const std::string bytes = vyxtext::Encode(CP_UTF8, line);
        WriteFile(error, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
}

}  // namespace

std::wstring DescriptionPathFor(const std::wstring& callerPath) {
    if (callerPath.empty()) {
        return {};
    }
    const std::size_t nameStart = callerPath.find_last_of(L"\\/:");
    const std::size_t dot = callerPath.find_last_of(L'.');
    const bool hasExtension =
        dot != std::wstring::npos && (nameStart == std::wstring::npos || dot > nameStart);
    return (hasExtension ? callerPath.substr(0, dot) : callerPath) + L".json";
}

Description LoadPrinter(const std::wstring& descriptionPath) {
    if (descriptionPath.empty() || !Exists(descriptionPath)) {
        return DefaultPrinter();
    }
    return ParseDescription(ReadWholeFile(descriptionPath));
}

void ReportDescriptionError(const std::wstring& descriptionPath, const std::string& message) {
    const std::wstring line =
        L"simulated printer: " + descriptionPath + L": " + vyxtext::Decode(CP_UTF8, message) + L"\n";
    OutputDebugStringW(line.c_str());
    WriteToStandardError(line);
}

}  // namespace vyxsim
