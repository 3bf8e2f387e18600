// The project's snmpsim recordings ("OID|type|value" lines) read into an in-process agent, so
// that the native tests walk exactly what the fixture's snmpsimd serves.
#pragma once

#include <string>

#include "fake_agent.h"

namespace snmptest {

// Loads `name`.snmprec from the recordings folder into `agent`; false when it cannot.
bool LoadRecording(const std::string& name, FakeAgent& agent);

}  // namespace snmptest
