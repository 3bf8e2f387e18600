// Result codes that every query module of this project answers alike: the same mistake gets the
// same code whichever printer is behind the module. 0 is success. Each module's own codes (why
// its printer could not be reached, read or set) lie outside 0x2001-0x20FF, but for the
// simulated printer's 0x200C.
#pragma once

#include <windows.h>

namespace vyxserve {

constexpr LONG kNoMore = 1;                // a key or option walk has passed its last item
constexpr LONG kNotConnected = 0x2001;     // a call before VyxQuery_Connect or after Disconnect
constexpr LONG kNoSession = 0x2002;        // a colour or attribute call outside its session
constexpr LONG kSessionOpen = 0x2003;      // a session opened while it is already open
constexpr LONG kUnknownFeature = 0x2004;   // no colour feature has that key
constexpr LONG kUnknownOption = 0x2005;    // the feature has no option of that value
constexpr LONG kBadIndex = 0x2006;         // a tray, toner or template index out of range
constexpr LONG kUnknownTemplate = 0x2007;  // no template carries the record's tag
constexpr LONG kNotInstalled = 0x2008;     // the installable option is not fitted
constexpr LONG kNullArgument = 0x2009;     // a required argument is a null pointer
constexpr LONG kNoCurrentKey = 0x200A;     // no colour key has been made current
constexpr LONG kEMailOff = 0x200B;         // e-mail notification does not cover that value
constexpr LONG kNoContext = 0x200D;        // the query context slot is null or empty
constexpr LONG kOutOfMemory = 0x200E;
constexpr LONG kInternal = 0x200F;  // anything else that went wrong inside the module

}  // namespace vyxserve
