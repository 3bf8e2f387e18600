// The helpers the mapping's families share (mapping_reply.h), and the text cleaning that every
// string from a printer goes through.
#include "mapping_reply.h"

namespace vyxipp {
namespace mapping {

std::map<std::string, std::string> KeyValues(const std::string& text) {
    std::map<std::string, std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string pair = text.substr(start, end - start);
        const std::size_t equals = pair.find('=');
        if (equals != std::string::npos && out.count(pair.substr(0, equals)) == 0) {
            out[pair.substr(0, equals)] = pair.substr(equals + 1);
        }
        start = end + 1;
    }
    return out;
}

std::int32_t Number(const std::map<std::string, std::string>& values, const std::string& key,
                    std::int32_t fallback) {
    const auto found = values.find(key);
    if (found == values.end() || found->second.empty() || found->second.size() > 11) {
        return fallback;
    }
    const std::string& text = found->second;
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) {
        return fallback;
    }
    std::int64_t n = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return fallback;
        }
        n = n * 10 + (text[i] - '0');
    }
    if (text[0] == '-') {
        n = -n;
    }
    if (n < INT32_MIN || n > INT32_MAX) {
        return fallback;
    }
    return static_cast<std::int32_t>(n);
}

std::string Text(const std::map<std::string, std::string>& values, const std::string& key) {
    const auto found = values.find(key);
    return found == values.end() ? std::string() : CleanText(found->second);
}

std::vector<std::map<std::string, std::string>> KeyValueList(const Reply& reply,
                                                             const std::string& name) {
    std::vector<std::map<std::string, std::string>> out;
    if (const Attribute* a = reply.Find(name)) {
        for (const Value& v : a->values) {
            if (v.IsString()) {
                out.push_back(KeyValues(v.AsString()));
            }
        }
    }
    return out;
}

std::string Join(const std::vector<std::string>& parts, const char* separator) {
    std::string out;
    for (const std::string& p : parts) {
        if (!out.empty()) {
            out += separator;
        }
        out += p;
    }
    return out;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace mapping

std::string CleanText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            out.push_back(c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c));
            ++i;
            continue;
        }
        // The length of the sequence and the smallest code point it may carry.
        std::size_t length = 0;
        std::uint32_t point = 0, smallest = 0;
        if ((c & 0xE0) == 0xC0) {
            length = 2, point = c & 0x1F, smallest = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3, point = c & 0x0F, smallest = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4, point = c & 0x07, smallest = 0x10000;
        }
        bool valid = length != 0 && n - i >= length;
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = (s[i + k] & 0xC0) == 0x80;
            point = (point << 6) | (s[i + k] & 0x3F);
        }
        valid = valid && point >= smallest && point <= 0x10FFFF &&
                !(point >= 0xD800 && point <= 0xDFFF);
        if (valid) {
            out.append(text, i, length);
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

}  // namespace vyxipp
