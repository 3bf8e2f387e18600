// What the mapping's families share: a reply's printer attributes read as strings and numbers,
// the `key=value;...` strings some of them carry, and lists kept free of repeats. Only the
// mapping's own files include it; ipp_mapping.h is the mapping's entry point.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ipp_mapping.h"
#include "ipp_message.h"
#include "printer.h"

namespace vyxipp::mapping {

// A reply's printer attributes, read by name.
class Reply {
  public:
    explicit Reply(const Message& message) : message_(message) {}

    const Attribute* Find(const std::string& name) const {
        return message_.Find(kPrinterGroup, name);
    }

    // The attribute's string values, cleaned, in order (values of other tags are left out).
    std::vector<std::string> Strings(const std::string& name) const {
        std::vector<std::string> out;
        if (const Attribute* a = Find(name)) {
            for (const Value& v : a->values) {
                if (v.IsString()) {
                    out.push_back(CleanText(v.AsString()));
                }
            }
        }
        return out;
    }

    // The integer or enum values, in order; `missing` for a value of another tag, so that
    // positions still match those of the attributes that go with it.
    std::vector<std::int32_t> Integers(const std::string& name, std::int32_t missing) const {
        std::vector<std::int32_t> out;
        if (const Attribute* a = Find(name)) {
            for (const Value& v : a->values) {
                out.push_back(v.IsInteger() ? v.AsInteger() : missing);
            }
        }
        return out;
    }

    bool Holds(const std::string& name, const std::string& keyword) const {
        const std::vector<std::string> values = Strings(name);
        return std::find(values.begin(), values.end(), keyword) != values.end();
    }

    bool HasValues(const std::string& name) const {
        const Attribute* a = Find(name);
        if (!a) {
            return false;
        }
        for (const Value& v : a->values) {
            if (!v.IsOutOfBand()) {
                return true;
            }
        }
        return false;
    }

  private:
    const Message& message_;
};

// The `key=value;...` strings of printer-input-tray, printer-supply, printer-output-tray and
// printer-finisher.
std::map<std::string, std::string> KeyValues(const std::string& text);

// A whole decimal number, sign allowed; `fallback` for anything else or out of range.
std::int32_t Number(const std::map<std::string, std::string>& values, const std::string& key,
                    std::int32_t fallback);

// The value of `key`, cleaned; empty when there is none.
std::string Text(const std::map<std::string, std::string>& values, const std::string& key);

// Each string value of attribute `name` split into its keys and values.
std::vector<std::map<std::string, std::string>> KeyValueList(const Reply& reply,
                                                             const std::string& name);

std::string Join(const std::vector<std::string>& parts, const char* separator);

// Adds to a list what is not yet in it. Lists can be as long as a reply's values (a printer may
// send a hundred thousand): a search of the list for each would take minutes, so what is in it
// is also kept in a set.
class UniqueList {
  public:
    explicit UniqueList(std::vector<std::string>& list) : list_(list) {}
    void Add(const std::string& item) {
        if (!item.empty() && seen_.insert(item).second) {
            list_.push_back(item);
        }
    }

  private:
    std::vector<std::string>& list_;
    std::set<std::string> seen_;
};

bool StartsWith(const std::string& text, const std::string& prefix);

// The families, each filling its part of the model from a reply (mapping_<family>.cpp).
void MapFeatures(const Reply& reply, vyxserve::Printer& printer);

// The trays, and how many of them are paper trays (not a by-pass, roll or automatic choice).
std::size_t MapTrays(const Reply& reply, vyxserve::Printer& printer);

void MapToners(const Reply& reply, vyxserve::Printer& printer);

// The installable options; `paperTrays` from MapTrays tells whether there is a lower tray.
void MapInstallables(const Reply& reply, std::size_t paperTrays, vyxserve::Printer& printer);

void MapTemplates(const Reply& reply, vyxserve::Printer& printer);

void MapEMail(const Reply& reply, vyxserve::Printer& printer);

}  // namespace vyxipp::mapping
