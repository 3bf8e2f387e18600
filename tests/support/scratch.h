// Files a test puts where the library looks for query modules, removed when the test ends.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace vyxtest {

// A folder of this process's own beside the test program (or in `parent`, a folder with a
// trailing backslash); emptied and removed at the end.
class ScratchDirectory {
public:
    ScratchDirectory();
    explicit ScratchDirectory(const std::wstring& parent);
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    // The folder, with a trailing backslash.
    const std::wstring& Path() const { return path_; }
    // Copies a file into the folder (or to an absolute path) and removes it at the end.
    std::wstring Place(const std::wstring& source, const std::wstring& name);
    // A path in the folder of exactly `length` characters, ending in `ending`; throws when the
    // folder itself leaves no room for it.
    std::wstring PathOfLength(std::size_t length, const std::wstring& ending) const;

private:
    std::wstring path_;
    std::vector<std::wstring> placed_;
};

// Deletes every file in `folder` (given with a trailing backslash).
void RemoveFilesIn(const std::wstring& folder);

// The parent for a ScratchDirectory in which paths of `longest` characters can be built: the
// test program's folder when that leaves room, otherwise the root of drive D:, so that a case
// is built whatever the clone's depth rather than skipped.
std::wstring ParentWithRoomFor(std::size_t longest);

}  // namespace vyxtest
