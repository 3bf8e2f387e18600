// Object identifiers as SNMP carries them: a sequence of sub-identifiers, ordered the way an
// agent walks its tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace vyxsnmp {

class Oid {
  public:
    Oid() = default;
    Oid(std::initializer_list<std::uint32_t> parts) : parts_(parts) {}
    explicit Oid(std::vector<std::uint32_t> parts) : parts_(std::move(parts)) {}

    const std::vector<std::uint32_t>& parts() const { return parts_; }
    std::size_t size() const { return parts_.size(); }
    bool empty() const { return parts_.empty(); }
    std::uint32_t operator[](std::size_t i) const { return parts_[i]; }

    // This OID followed by more sub-identifiers (a column and a row index, say).
    Oid Plus(const Oid& tail) const;
    Oid Plus(std::initializer_list<std::uint32_t> tail) const { return Plus(Oid(tail)); }

    // True when this OID lies strictly inside `prefix`'s subtree.
    bool IsBelow(const Oid& prefix) const;
    // The sub-identifiers after `prefix` (call only when IsBelow(prefix)).
    Oid After(const Oid& prefix) const;

    // Dotted text without a leading dot: "1.3.6.1.2.1.1.1.0".
    std::string ToString() const;
    // Parses dotted text (a leading dot is allowed); false for anything else.
    static bool Parse(const std::string& text, Oid& out);

    friend bool operator==(const Oid& a, const Oid& b) { return a.parts_ == b.parts_; }
    friend bool operator!=(const Oid& a, const Oid& b) { return a.parts_ != b.parts_; }
    // The agent's walk order: lexicographic by sub-identifier, a prefix before its subtree.
    friend bool operator<(const Oid& a, const Oid& b) { return a.parts_ < b.parts_; }
    friend bool operator>(const Oid& a, const Oid& b) { return b < a; }
    friend bool operator<=(const Oid& a, const Oid& b) { return !(b < a); }

  private:
    std::vector<std::uint32_t> parts_;
};

}  // namespace vyxsnmp
