// kTwo differs from the table; kStray gives a code the table lacks.
constexpr LONG kOne = 0x2001;
constexpr LONG kTwo = 0x2003;
constexpr std::int32_t kBase = 0x30000;
constexpr std::int32_t kStray = 0x2099;
