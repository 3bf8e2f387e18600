// The project's snmpsim recordings ("OID|type|value" lines) as objects: the native tests serve
// them from an in-process agent, the tests under wine compare what the module reports with
// them.
#pragma once

#include <map>
#include <string>

#include "message.h"

namespace snmptest {

using Objects = std::map<vyxsnmp::Oid, vyxsnmp::Value>;

// Parses a recording's text into `objects`; false when a line cannot be parsed.
bool ParseRecording(const std::string& text, Objects& objects);

// Reads the recording at `path` into `objects`; false when it cannot be read or parsed.
bool ReadRecording(const std::string& path, Objects& objects);

}  // namespace snmptest
