// The trays and the media loaded in them: printer-input-tray where the printer sends it, else
// media-source-supported, with the sizes and types of media-col-ready; and a tray's state.
#include <algorithm>
#include <cmath>

#include "mapping_reply.h"
#include "naming.h"
#include "option_string.h"

namespace vyxipp {
namespace mapping {
namespace {

struct Media {
    std::string size;
    std::string type;
};

// A media size keyword as a user reads it: its common name or dimensions, else made readable.
std::string SizeText(const std::string& keyword) {
    const std::string named = vyxserve::SizeFromName(keyword);
    return named.empty() ? vyxserve::ReadableKeyword(keyword) : named;
}

// media-ready's size names by their dimensions in whole millimetres, so that each media-col-ready
// entry finds the name of its size without searching the list (both may hold many thousands).
class ReadySizes {
  public:
    explicit ReadySizes(const std::vector<std::string>& names) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            double width = 0, height = 0;
            if (vyxserve::DimensionsOfName(names[i], width, height)) {
                sizes_.emplace(KeyOf(width, height), Sized{i, width, height, names[i]});
            }
        }
    }

    // The first listed name of a size within the tolerance of `width` by `height`, either way
    // round; empty when there is none.
    std::string Find(double width, double height) const {
        const Sized* found = nullptr;
        for (const auto& side : {std::make_pair(width, height), std::make_pair(height, width)}) {
            const Key near = KeyOf(side.first, side.second);
            for (long long dx = -1; dx <= 1; ++dx) {
                for (long long dy = -1; dy <= 1; ++dy) {
                    const auto at = sizes_.find({near.first + dx, near.second + dy});
                    if (at != sizes_.end() && (!found || at->second.position < found->position) &&
                        vyxserve::SameSize(width, height, at->second.width, at->second.height)) {
                        found = &at->second;
                    }
                }
            }
        }
        return found ? found->name : std::string();
    }

  private:
    using Key = std::pair<long long, long long>;
    struct Sized {
        std::size_t position;
        double width, height;
        std::string name;
    };
    static Key KeyOf(double width, double height) {
        return {std::llround(std::min(width, 1e9)), std::llround(std::min(height, 1e9))};
    }
    std::map<Key, Sized> sizes_;
};

// A media-size collection (hundredths of millimetres) as a user reads it: the `media-ready`
// name of that size where the printer lists one (it knows its sizes better than a table), else
// the size the dimensions name; a roll (its length a range) by its width.
std::string SizeOfDimensions(const Value& mediaSize, const ReadySizes& ready) {
    const Value* x = nullptr;
    const Value* y = nullptr;
    for (const Attribute& d : mediaSize.members) {
        if (d.name == "x-dimension") {
            x = d.First();
        } else if (d.name == "y-dimension") {
            y = d.First();
        }
    }
    if (!x || !y || !x->IsInteger() || x->AsInteger() <= 0) {
        return std::string();
    }
    const double width = x->AsInteger() / 100.0;
    if (y->tag == kRangeOfInteger) {
        return vyxserve::RollSize(width);
    }
    if (!y->IsInteger() || y->AsInteger() <= 0) {
        return std::string();
    }
    const double height = y->AsInteger() / 100.0;
    const std::string named = ready.Find(width, height);
    return named.empty() ? vyxserve::SizeFromDimensions(width, height) : SizeText(named);
}

// media-col-ready by media-source: the size and the type a user reads.
std::map<std::string, Media> ReadyMedia(const Reply& reply) {
    std::map<std::string, Media> out;
    const Attribute* ready = reply.Find("media-col-ready");
    if (!ready) {
        return out;
    }
    const ReadySizes readySizes(reply.Strings("media-ready"));
    for (const Value& v : ready->values) {
        if (!v.IsCollection()) {
            continue;
        }
        std::string source;
        Media media;
        const Value* dimensions = nullptr;
        for (const Attribute& member : v.members) {
            const Value* first = member.First();
            if (!first) {
                continue;
            }
            if (member.name == "media-source") {
                source = CleanText(first->AsString());
            } else if (member.name == "media-size-name") {
                media.size = SizeText(CleanText(first->AsString()));
            } else if (member.name == "media-type") {
                media.type = vyxserve::MediaTypeLabel(CleanText(first->AsString()));
            } else if (member.name == "media-size" && first->IsCollection()) {
                dimensions = first;
            }
        }
        if (media.size.empty() && dimensions) {
            media.size = SizeOfDimensions(*dimensions, readySizes);
        }
        if (!source.empty() && out.count(source) == 0) {
            out[source] = media;
        }
    }
    return out;
}

// A tray's own media keys, for a tray that media-col-ready says nothing of.
Media TrayMedia(const std::map<std::string, std::string>& values) {
    Media media;
    const std::string name = Text(values, "medianame");
    media.size = name.empty() ? std::string() : SizeText(name);
    const std::string type = Text(values, "mediatype");
    media.type = type.empty() ? std::string() : vyxserve::MediaTypeLabel(type);
    return media;
}

bool IsPaperTraySource(const std::string& source) {
    static const char* const kTrays[] = {"main",   "alternate", "large-capacity", "lower",
                                         "middle", "top",       "bottom",         "side"};
    for (const char* t : kTrays) {
        if (source == t) {
            return true;
        }
    }
    return StartsWith(source, "tray-");
}

// A tray that feeds sheets by itself: the registered sheet-feed types but the manual feed, and
// the vendors' own (`sheetFeedPull`, `sheetFeedAutoNonRemovable`, `removableBin`).
bool IsSheetFeedTray(const std::string& keyword) {
    const std::string type = vyxserve::AsciiLower(keyword);
    return (StartsWith(type, "sheetfeed") && type.find("manual") == std::string::npos) ||
           type.find("removablebin") != std::string::npos;
}

}  // namespace

// Automatic selection is no tray: the `auto` source, and a tray of type `other` that stands
// for it, are left out.
std::size_t MapTrays(const Reply& reply, vyxserve::Printer& printer) {
    printer.trays.clear();
    const std::map<std::string, Media> media = ReadyMedia(reply);
    const std::vector<std::string> sources = reply.Strings("media-source-supported");
    const auto trays = KeyValueList(reply, "printer-input-tray");
    std::size_t paperTrays = 0;
    if (trays.empty()) {
        for (const std::string& source : sources) {
            if (source == "auto") {
                continue;
            }
            vyxserve::Tray tray;
            tray.text1 = vyxserve::MediaSourceLabel(source);
            tray.value1 = -2;
            tray.value2 = -2;
            const auto found = media.find(source);
            if (found != media.end()) {
                tray.text2 = found->second.size;
                tray.text3 = found->second.type;
            }
            tray.text4 = "Unknown";
            printer.trays.push_back(tray);
            paperTrays += IsPaperTraySource(source) ? 1 : 0;
        }
        return paperTrays;
    }
    for (std::size_t i = 0; i < trays.size(); ++i) {
        const auto& values = trays[i];
        const std::string name = Text(values, "name");
        const std::string type = Text(values, "type");
        const std::string listed = sources.size() == trays.size() ? sources[i] : std::string();
        if (type == "other" && (name == "auto" || listed == "auto")) {
            continue;
        }
        const std::string source = media.count(name) != 0 || listed.empty() ? name : listed;
        vyxserve::Tray tray;
        tray.text1 = !name.empty()     ? vyxserve::MediaSourceLabel(name)
                     : !source.empty() ? vyxserve::MediaSourceLabel(source)
                                       : "Tray " + std::to_string(printer.trays.size() + 1);
        tray.value1 = Number(values, "maxcapacity", -2);
        tray.value2 = Number(values, "level", -2);
        const auto found = media.find(source);
        const Media loaded = found != media.end() ? found->second : TrayMedia(values);
        tray.text2 = loaded.size;
        tray.text3 = loaded.type;
        tray.text4 = values.count("status") ? TrayState(Number(values, "status", 5)) : "Unknown";
        paperTrays += IsSheetFeedTray(type) ? 1 : 0;
        printer.trays.push_back(tray);
    }
    return paperTrays;
}

}  // namespace mapping

std::string TrayState(std::int32_t status) {
    static const char* const kAvailability[] = {"Ready",  "On request", "Standby", "Broken",
                                                "Active", "Unknown",    "Busy",    "Unknown"};
    std::string text = kAvailability[status & 7];
    if (status & 32) {
        text += ", off-line";
    }
    if (status & 16) {
        text += ", critical alert";
    } else if (status & 8) {
        text += ", alert";
    }
    if (status & 64) {
        text += ", transitioning";
    }
    return text;
}

}  // namespace vyxipp
