// Object identifier helpers: subtree tests and dotted text.
#include "oid.h"

namespace vyxsnmp {

Oid Oid::Plus(const Oid& tail) const {
    std::vector<std::uint32_t> parts = parts_;
    parts.insert(parts.end(), tail.parts_.begin(), tail.parts_.end());
    return Oid(std::move(parts));
}

bool Oid::IsBelow(const Oid& prefix) const {
    if (parts_.size() <= prefix.parts_.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.parts_.size(); ++i) {
        if (parts_[i] != prefix.parts_[i]) {
            return false;
        }
    }
    return true;
}

Oid Oid::After(const Oid& prefix) const {
    return Oid(std::vector<std::uint32_t>(parts_.begin() + prefix.parts_.size(), parts_.end()));
}

std::string Oid::ToString() const {
    std::string text;
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        if (i != 0) {
            text += '.';
        }
        text += std::to_string(parts_[i]);
    }
    return text;
}

bool Oid::Parse(const std::string& text, Oid& out) {
    std::vector<std::uint32_t> parts;
    std::size_t i = (!text.empty() && text[0] == '.') ? 1 : 0;
    if (i == text.size()) {
        return false;
    }
    while (i < text.size()) {
        std::uint64_t value = 0;
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
            if (value > 0xFFFFFFFFu) {
                return false;
            }
            ++i;
        }
        if (i == start) {
            return false;
        }
        parts.push_back(static_cast<std::uint32_t>(value));
        if (i < text.size()) {
            if (text[i] != '.' || i + 1 == text.size()) {
                return false;
            }
            ++i;
        }
    }
    out = Oid(std::move(parts));
    return true;
}

}  // namespace vyxsnmp
