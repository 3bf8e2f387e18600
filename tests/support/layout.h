// The records' sizes and offsets as a caller built for this architecture finds them, written out
// as numbers, so that byte checks do not take them from the header they are meant to check.
#pragma once

#include <cstddef>

namespace vyxtest::layout {

constexpr bool kIs64Bit = sizeof(void*) == 8;

// The value on x86, or the value on x64, which ARM64 shares: both lay records out naturally with
// 8-byte pointers.
constexpr std::size_t ByArch(std::size_t x86, std::size_t x64) {
    return kIs64Bit ? x64 : x86;
}

// The machine in this architecture's image headers.
#if defined(__aarch64__) || defined(_M_ARM64)
constexpr unsigned short kImageMachine = 0xAA64;  // IMAGE_FILE_MACHINE_ARM64
#else
constexpr unsigned short kImageMachine = kIs64Bit ? 0x8664 : 0x014C;  // AMD64, I386
#endif

constexpr std::size_t kPointer = ByArch(4, 8);

constexpr std::size_t kHandleSize = ByArch(12, 24);
constexpr std::size_t kHandleKind = ByArch(4, 8);
constexpr std::size_t kHandleQueryContext = ByArch(8, 16);

constexpr std::size_t kFeatureListSize = ByArch(260, 520);
constexpr std::size_t kFeatureListFeatures = ByArch(4, 8);

constexpr std::size_t kFeatureInfoSize = ByArch(2308, 2568);
constexpr std::size_t kFeatureInfoOptions = ByArch(2052, 2056);

constexpr std::size_t kTemplateRecordSize = ByArch(140, 152);
constexpr std::size_t kTemplateRecordItems = ByArch(132, 136);
constexpr std::size_t kTemplateRecordItemCount = ByArch(136, 144);
constexpr std::size_t kTemplateArraySize = ByArch(8960, 9728);

constexpr std::size_t kTemplateListSize = ByArch(8, 16);
constexpr std::size_t kTemplateListCount = ByArch(4, 8);

}  // namespace vyxtest::layout
