// Faults that the server shows on request: the simulated printer's rehearsals of a module that
// fails, overstates its counts or leaves its answers unterminated.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace vyxserve {

struct Faults {
    std::map<std::string, std::int32_t> fail;  // entry point name -> the code it answers
    std::set<std::string> unterminated;        // entry points whose texts fill their buffers
    bool unterminatedEverywhere = false;
    std::int32_t extraTrays = 0;  // added to the counts the module reports
    std::int32_t extraToners = 0;
    std::int32_t extraTemplates = 0;

    bool Unterminated(const std::string& entry) const {
        return unterminatedEverywhere || unterminated.count(entry) != 0;
    }
};

}  // namespace vyxserve
