// The simulated printer: what it holds, and the faults it is told to show.
#pragma once

#include <windows.h>

#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace vyxsim {

// A colour option: `value` is what Color_SetKeyValue names, `label` what a user reads.
struct Option {
    std::wstring value;
    std::wstring label;
};

// A colour feature: `key` is what Color_SetCurrentKey names, `name` what a user reads.
struct Feature {
    std::wstring key;
    std::wstring name;
    std::vector<Option> options;
    std::size_t selected = 0;  // index into options; options.size() when nothing is selected
};

struct Tray {
    std::wstring text1;
    LONG value1 = 0;
    LONG value2 = 0;
    std::wstring text2;
    std::wstring text3;
    std::wstring text4;
};

struct Toner {
    std::wstring text1;
    LONG value1 = 0;
    LONG value2 = 0;
};

struct Installable {
    bool installed = false;
    std::wstring text1;
    std::wstring text2;
};

// The installable options in the order of their entry points.
enum InstallableKind {
    kSorter,
    kDuplex,
    kLowerTray,
    kFax,
    kFinisher,
    kFaceDownUnit,
    kFinisherType,
    kFinisherOption,
    kMfpOption,
    kInstallableCount
};

using ItemPair = std::pair<std::wstring, std::wstring>;

struct JobTemplate {
    std::wstring name;
    LONG tag = 0;
    std::vector<ItemPair> items;
    std::optional<std::wstring> rawItems;  // sent as it stands instead of the items
};

struct EMailNotification {
    bool enabled = false;
    DWORD events = 0;  // the values that are notified, as a bit mask
};

struct Faults {
    std::map<std::string, LONG> fail;    // entry point name -> the code it answers
    std::set<std::string> unterminated;  // entry points whose texts fill their buffers
    bool unterminatedEverywhere = false;
    LONG extraTrays = 0;  // added to the counts the module reports
    LONG extraToners = 0;
    LONG extraTemplates = 0;

    bool Unterminated(const std::string& entry) const {
        return unterminatedEverywhere || unterminated.count(entry) != 0;
    }
};

struct Printer {
    std::vector<Feature> features;
    std::vector<Tray> trays;
    std::vector<Toner> toners;
    std::array<Installable, kInstallableCount> installables;
    std::vector<JobTemplate> templates;
    EMailNotification email;
    Faults faults;
};

}  // namespace vyxsim
