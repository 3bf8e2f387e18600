// Files a test puts where the library looks for query modules, removed when the test ends.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vyxtest {

// A folder of this process's own beside the test program; emptied and removed at the end.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    // The folder, with a trailing backslash.
    const std::wstring& Path() const { return path_; }
    // Copies a file into the folder (or to an absolute path) and removes it at the end.
    std::wstring Place(const std::wstring& source, const std::wstring& name);

private:
    std::wstring path_;
    std::vector<std::wstring> placed_;
};

}  // namespace vyxtest
