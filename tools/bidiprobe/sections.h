// The report's sections: each runs its calls in the caller's order and returns what it saw.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "session.h"

namespace bidiprobe {

// Colour section: the feature list; with `details`, each feature's options and selection.
Json ColourFeatures(Session& session, bool details);
// Colour section: one feature's details.
Json ColourFeature(Session& session, const std::wstring& name);
// Colour section: a feature read, an option selected, the feature read again.
Json ColourSelect(Session& session, const std::wstring& feature, const std::wstring& option);

enum AttributeParts { kTrays = 1, kToners = 2, kInstallables = 4 };
// Attribute section with the parts asked for, within one attribute session.
Json Attributes(Session& session, int parts);

Json EMailNotification(Session& session, std::uintptr_t value);

// Templates by name and tag, or with `items` through JobTplate_GetAll.
Json Templates(Session& session, bool items);

}  // namespace bidiprobe
