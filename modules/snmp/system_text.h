// The printer's texts in the charsets that only the system's code pages know (Shift_JIS,
// GB2312, Big5, the ISO 8859 parts, ...), and the machine's own code page for texts whose
// charset the printer does not report.
#pragma once

#include "text.h"

namespace vyxsnmp {

class SystemTextDecoder : public TextDecoder {
  protected:
    bool ConvertOther(const std::string& bytes, int charset, std::string& utf8) const override;
};

// The Windows code page for an IANA charset number, 0 when there is none.
unsigned CodePageFor(int charset);

}  // namespace vyxsnmp
