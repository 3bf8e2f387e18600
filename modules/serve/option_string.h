// The connection strings' common syntax, for every module that takes options: a second string
// of "key=value" items separated by ";", and decimal numbers in them and in addresses. Portable
// (no Win32), so the parsers that use it also build natively for the fuzzing runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace vyxserve {

struct OptionItem {
    std::string key;    // lower case
    std::string value;  // as given, without the spaces around it
};

inline bool IsSpace(char c) {
    return c == ' ' || c == '\t';
}

// Letters A-Z made a-z, every other byte kept: schemes, keys and keyword values.
inline std::string AsciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

inline std::string TrimSpaces(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && IsSpace(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// Splits an option string into its items. Empty items are skipped, spaces around keys and
// values dropped, keys compared without regard to case. False, with the offending item in
// `problem`, for an item without "=" or with an empty key, and for a key given twice.
inline bool SplitOptions(const std::string& text, std::vector<OptionItem>& items,
                         std::string& problem) {
    items.clear();
    std::set<std::string> seen;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string item = TrimSpaces(text.substr(start, end - start));
        start = end + 1;
        if (item.empty()) {
            continue;
        }
        problem = item;
        const std::size_t equals = item.find('=');
        if (equals == std::string::npos) {
            return false;
        }
        const std::string key = AsciiLower(TrimSpaces(item.substr(0, equals)));
        if (key.empty() || !seen.insert(key).second) {
            return false;
        }
        items.push_back({key, TrimSpaces(item.substr(equals + 1))});
    }
    problem.clear();
    return true;
}

// A decimal number of digits only, at most `maxDigits` of them, within [low, high].
inline bool ParseDecimal(const std::string& text, std::size_t maxDigits, std::uint32_t low,
                         std::uint32_t high, std::uint32_t& value) {
    if (text.empty() || text.size() > maxDigits || maxDigits > 9) {
        return false;
    }
    std::uint32_t number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (number < low || number > high) {
        return false;
    }
    value = number;
    return true;
}

}  // namespace vyxserve
