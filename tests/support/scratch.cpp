// Per-process scratch folders, so that tests running side by side never share module files.
#include "scratch.h"

#include <stdexcept>

#include "scripted_module.h"

namespace vyxtest {

ScratchDirectory::ScratchDirectory() {
    static int serial = 0;
    path_ = ProgramDirectory() + L"scratch-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++serial) + L"\\";
    if (!CreateDirectoryW(path_.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        throw std::runtime_error("cannot create a scratch folder");
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

}  // namespace vyxtest
