// What every printer model a mapping makes must hold, whatever the printer sent: texts that are
// valid UTF-8 (and, where the module promises it, without control characters), and a selected
// option inside its feature. Shared by the fuzz targets of both network modules.
#pragma once

#include <cstdlib>
#include <string>

#include "printer.h"

namespace vyxfuzz {

inline bool CleanUtf8(const std::string& text, bool controlsAllowed) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = s[i];
        if (!controlsAllowed && (c < 0x20 || c == 0x7F)) {
            return false;
        }
        std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
        if (c >= 0x80 && ((c & 0xC0) == 0x80 || c > 0xF4)) {
            return false;
        }
        if (text.size() - i < n) {
            return false;
        }
        for (std::size_t k = 1; k < n; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) {
                return false;
            }
        }
        i += n;
    }
    return true;
}

inline void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

inline void CheckModel(const vyxserve::Printer& p, bool controlsAllowed = false) {
    const auto clean = [controlsAllowed](const std::string& text) {
        return CleanUtf8(text, controlsAllowed);
    };
    for (const auto& f : p.features) {
        Require(f.selected <= f.options.size());
        Require(clean(f.key) && clean(f.name));
        for (const auto& o : f.options) {
            Require(clean(o.value) && clean(o.label));
        }
    }
    for (const auto& t : p.trays) {
        Require(clean(t.text1) && clean(t.text2) && clean(t.text3) &&
                clean(t.text4));
    }
    for (const auto& t : p.toners) {
        Require(clean(t.text1));
    }
    for (const auto& i : p.installables) {
        Require(clean(i.text1) && clean(i.text2));
    }
    for (const auto& j : p.templates) {
        Require(clean(j.name));
        for (const auto& item : j.items) {
            Require(clean(item.first) && clean(item.second));
        }
    }
}

}  // namespace vyxfuzz
