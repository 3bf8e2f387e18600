// The ports of the test peers, from the NAME=VALUE lines their fixtures write beside the test
// programs (ipp-peers\ports.txt, snmp-agents.txt).
#pragma once

#include <fstream>
#include <map>
#include <string>

#include "support/scripted_module.h"
#include "support/text_util.h"

namespace vyxtest {

// Every NAME=VALUE line of the file `name` beside the test programs; empty when there is none.
inline std::map<std::string, std::string> ReadPeerPorts(const std::wstring& name) {
    std::map<std::string, std::string> values;
    std::ifstream file(Utf8(ProgramDirectory() + name));
    std::string line;
    while (std::getline(file, line)) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) {
            values[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return values;
}

}  // namespace vyxtest
