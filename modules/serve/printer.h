// The printer model that every query module serves: what a printer holds, as the entry points
// hand it out. Portable C++ (no Win32), so that the mappings from a protocol's replies to it
// also build natively for the sanitizer and fuzzing runs. Texts are UTF-8; the server turns
// them into the ANSI code page when it answers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vyxserve {

// A colour option: `value` is what Color_SetKeyValue names, `label` what a user reads.
struct Option {
    std::string value;
    std::string label;
};

// A colour feature: `key` is what Color_SetCurrentKey names, `name` what a user reads.
struct Feature {
    std::string key;
    std::string name;
    std::vector<Option> options;
    std::size_t selected = 0;  // index into options; options.size() when nothing is selected
};

// A paper tray, its fields in the entry point's argument order. The modules of this project
// fill them alike: text1 the tray's name, value1 its capacity in sheets, value2 the sheets it
// holds (negative values as the printer reports them), text2 the media size, text3 the media
// type, text4 the tray's state.
struct Tray {
    std::string text1;
    std::int32_t value1 = 0;
    std::int32_t value2 = 0;
    std::string text2;
    std::string text3;
    std::string text4;
};

// A toner or other supply: text1 its name, value1 its level in percent, value2 a second
// figure of the module's own (each module's page in docs/ says which).
struct Toner {
    std::string text1;
    std::int32_t value1 = 0;
    std::int32_t value2 = 0;
    bool colorant = false;  // it marks the page (toner, ink, ...): such supplies are listed first
};

struct Installable {
    bool installed = false;
    std::string text1;
    std::string text2;
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

using ItemPair = std::pair<std::string, std::string>;

struct JobTemplate {
    std::string name;
    std::int32_t tag = 0;
    std::vector<ItemPair> items;
    std::optional<std::string> rawItems;  // sent as it stands instead of the items
};

struct EMailNotification {
    bool enabled = false;
    // The values that are notified, as a bit mask as wide as any caller's pointer-sized value.
    std::uint64_t events = 0;
    // The module's code for a printer that does not report the setting at all (answered
    // instead of "off", which would be a guess); 0 when it does.
    std::int32_t unreported = 0;
};

struct Printer {
    std::vector<Feature> features;
    std::vector<Tray> trays;
    std::vector<Toner> toners;
    std::array<Installable, kInstallableCount> installables;
    std::vector<JobTemplate> templates;
    EMailNotification email;
};

}  // namespace vyxserve
