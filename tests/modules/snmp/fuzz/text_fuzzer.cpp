// Fuzz target: a printer's text bytes in every charset the module decodes itself, and in
// others that go to the system's conversion. The result is always well-formed UTF-8 without
// a NUL or trailing spaces.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "text.h"

namespace {

const int kCharsets[] = {vyxsnmp::charset::kUnknown, vyxsnmp::charset::kUsAscii,
                         vyxsnmp::charset::kLatin1,  vyxsnmp::charset::kUtf8,
                         vyxsnmp::charset::kUcs2,    vyxsnmp::charset::kUtf16Be,
                         vyxsnmp::charset::kUtf16Le, vyxsnmp::charset::kUtf16,
                         vyxsnmp::charset::kWindows1252, 17 /* Shift_JIS: the hook's */};

// A stand-in for the system's code-page conversion: it declines some texts (as the system does
// for bytes invalid in the code page) and answers the others as valid UTF-8, as the system does.
class Hook : public vyxsnmp::TextDecoder {
  protected:
    bool ConvertOther(const std::string& bytes, int, std::string& utf8) const override {
        if (bytes.size() % 2 != 0) {
            return false;
        }
        for (const char c : bytes) {
            utf8 += static_cast<unsigned char>(c) < 0x80 ? c : '?';
        }
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const int set = kCharsets[data[0] % (sizeof kCharsets / sizeof kCharsets[0])];
    const Hook hook;
    const vyxsnmp::TextDecoder plain;
    for (const vyxsnmp::TextDecoder* decoder : {static_cast<const vyxsnmp::TextDecoder*>(&hook), &plain}) {
        const std::string text = decoder->ToUtf8(bytes, set);
        if (!vyxsnmp::IsValidUtf8(text) || text.find('\0') != std::string::npos ||
            (!text.empty() && text.back() == ' ')) {
            std::abort();
        }
    }
    return 0;
}
