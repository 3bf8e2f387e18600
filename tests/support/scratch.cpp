// Per-process scratch folders, so that tests running side by side never share module files.
#include "scratch.h"

#include <stdexcept>

#include "scripted_module.h"

namespace vyxtest {

namespace {

// "scratch-<process id>-<serial>\" is at most this long.
constexpr std::size_t kLongestScratchName = 32;

}  // namespace

ScratchDirectory::ScratchDirectory() : ScratchDirectory(ProgramDirectory()) {}

ScratchDirectory::ScratchDirectory(const std::wstring& parent) {
    static int serial = 0;
    path_ = parent + L"scratch-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++serial) + L"\\";
    if (!CreateDirectoryW(path_.c_str(), nullptr)) {
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            throw std::runtime_error("cannot create a scratch folder");
        }
        // Left by a crashed run of an earlier process with the same id (wine reuses them).
        RemoveFilesIn(path_);
    }
}

ScratchDirectory::~ScratchDirectory() {
    for (const std::wstring& file : placed_) {
        DeleteFileW(file.c_str());
    }
    RemoveDirectoryW(path_.c_str());
}

std::wstring ScratchDirectory::Place(const std::wstring& source, const std::wstring& name) {
    const bool absolute = name.size() > 1 && name[1] == L':';
    const std::wstring target = absolute ? name : path_ + name;
    if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) {
        throw std::runtime_error("cannot place a module file");
    }
    placed_.push_back(target);
    return target;
}

std::wstring ScratchDirectory::PathOfLength(std::size_t length, const std::wstring& ending) const {
    if (path_.size() + ending.size() >= length) {
        throw std::runtime_error("the scratch folder leaves no room for a path of " +
                                 std::to_string(length) + " characters");
    }
    return path_ + std::wstring(length - path_.size() - ending.size(), L'p') + ending;
}

void RemoveFilesIn(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::wstring ParentWithRoomFor(std::size_t longest) {
    const std::wstring beside = ProgramDirectory();
    // Room for the scratch folder's name, a file name of a few characters and its ending.
    return beside.size() + kLongestScratchName + 16 <= longest ? beside : L"D:\\";
}

}  // namespace vyxtest
