/* VYXBIDI.dll for callers: result codes, the records the library hands out, and its exports. */
#ifndef VYXBIDI_H
#define VYXBIDI_H

#include <windows.h>
#include <stddef.h>

/* C++11 or later. Visual C++ leaves __cplusplus at 199711L unless told otherwise
 * (/Zc:__cplusplus) and names the language it compiles in _MSVC_LANG instead. */
#if defined(__cplusplus) && \
    (__cplusplus >= 201103L || (defined(_MSVC_LANG) && _MSVC_LANG >= 201103L))
#define VYXBIDI_CPLUSPLUS11 1
#endif

/* Layout checks. C11 and C++11 have a static assertion of their own; earlier C and C++ get one
 * from an array type whose size is negative when the check fails. */
#if defined(VYXBIDI_CPLUSPLUS11)
#define VYXBIDI_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#elif !defined(__cplusplus) && defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define VYXBIDI_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#else
#define VYXBIDI_JOIN2_(a, b) a##b
#define VYXBIDI_JOIN_(a, b) VYXBIDI_JOIN2_(a, b)
#define VYXBIDI_STATIC_ASSERT(cond, msg) \
    typedef char VYXBIDI_JOIN_(vyxbidi_layout_check_, __LINE__)[(cond) ? 1 : -1]
#endif

/* Records keep their fields and order on every architecture, with the alignment any C compiler
 * gives them: on 64-bit Windows (x64 and ARM64 alike) pointers and handles are 8 bytes and start
 * on 8-byte boundaries, LONG stays 4 bytes and the colour counts 2. Each check gives the value on
 * 32-bit Windows, then on 64-bit Windows, which holds for ARM64 too. */
#if defined(_WIN64) || defined(_M_ARM64) || defined(__aarch64__)
#define VYXBIDI_BY_ARCH(x86, x64) (x64)
#else
#define VYXBIDI_BY_ARCH(x86, x64) (x86)
#endif
#define VYXBIDI_LAYOUT(expr, x86, x64) \
    VYXBIDI_STATIC_ASSERT((expr) == VYXBIDI_BY_ARCH(x86, x64), #expr)

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes: 32-bit signed. Any other value is the query module's own code, passed through. */
#define BIDI_OK ((LONG)0)
#define BIDI_ERR_FAILED ((LONG)-1)
#define BIDI_ERR_BAD_ARGUMENT ((LONG)0x80000003)
#define BIDI_ERR_NO_ENTRY_POINT ((LONG)0x80000005)

/* Every size and offset checked below is part of the contract. */

/* ---- Connection ------------------------------------------------------------------------------ */

/* Made by VyxBiDi_Initialize, released by a successful VyxBiDi_Terminate. Pass it back unchanged. */
typedef struct BiDiHandle {
    HMODULE module;     /* the loaded query module */
    LONG kind;          /* 0: found among the "SNM" candidates, 1: among the "CIN" candidates */
    void* queryContext; /* belongs to the query module; its address goes with every module call */
} BiDiHandle;

VYXBIDI_LAYOUT(sizeof(BiDiHandle), 12, 24);
VYXBIDI_LAYOUT(offsetof(BiDiHandle, module), 0, 0);
VYXBIDI_LAYOUT(offsetof(BiDiHandle, kind), 4, 8);
VYXBIDI_LAYOUT(offsetof(BiDiHandle, queryContext), 8, 16);

LONG WINAPI VyxBiDi_Initialize(BiDiHandle** handle, LPCWSTR path);
LONG WINAPI VyxBiDi_Terminate(BiDiHandle* handle);
LONG WINAPI VyxBiDi_Connect(BiDiHandle* handle, LPCWSTR first, LPCWSTR second);
LONG WINAPI VyxBiDi_Disconnect(BiDiHandle* handle);

/* ---- Colour features ------------------------------------------------------------------------- */

/* Two strings whose meaning belongs to the query module (a key, or an option). */
typedef struct TextPair {
    WCHAR first[256];
    WCHAR second[256];
} TextPair;

VYXBIDI_LAYOUT(sizeof(TextPair), 1024, 1024);
VYXBIDI_LAYOUT(offsetof(TextPair, first), 0, 0);
VYXBIDI_LAYOUT(offsetof(TextPair, second), 512, 512);

#define BIDI_MAX_FEATURES 64
#define BIDI_MAX_OPTIONS 64

typedef struct FeatureList {
    SHORT featureCount; /* valid entries in features, 0 to 64 */
    SHORT reserved;
    TextPair* features[BIDI_MAX_FEATURES];
} FeatureList;

VYXBIDI_LAYOUT(sizeof(FeatureList), 260, 520);
VYXBIDI_LAYOUT(offsetof(FeatureList, featureCount), 0, 0);
VYXBIDI_LAYOUT(offsetof(FeatureList, reserved), 2, 2);
VYXBIDI_LAYOUT(offsetof(FeatureList, features), 4, 8);

typedef struct FeatureInfo {
    SHORT optionCount;       /* valid entries in options, 0 to 64 */
    TextPair currentKey;     /* the named key's two strings */
    TextPair selectedOption; /* the option the module reports as selected */
    SHORT reserved;
    TextPair* options[BIDI_MAX_OPTIONS];
} FeatureInfo;

VYXBIDI_LAYOUT(sizeof(FeatureInfo), 2308, 2568);
VYXBIDI_LAYOUT(offsetof(FeatureInfo, optionCount), 0, 0);
VYXBIDI_LAYOUT(offsetof(FeatureInfo, currentKey), 2, 2);
VYXBIDI_LAYOUT(offsetof(FeatureInfo, currentKey.second), 514, 514);
VYXBIDI_LAYOUT(offsetof(FeatureInfo, selectedOption), 1026, 1026);
VYXBIDI_LAYOUT(offsetof(FeatureInfo, selectedOption.second), 1538, 1538);
VYXBIDI_LAYOUT(offsetof(FeatureInfo, reserved), 2050, 2050);
VYXBIDI_LAYOUT(offsetof(FeatureInfo, options), 2052, 2056);

LONG WINAPI ClrBiDi_OpenSession(BiDiHandle* handle, LPCWSTR text1, LPCWSTR text2, LPCWSTR text3,
                                LPCWSTR text4, LPCWSTR text5, LPCWSTR text6);
LONG WINAPI ClrBiDi_CloseSession(BiDiHandle* handle);
LONG WINAPI ClrBiDi_GetFeatureList(BiDiHandle* handle, FeatureList** list);
LONG WINAPI ClrBiDi_DeleteFeatureList(BiDiHandle* handle, FeatureList** list);
LONG WINAPI ClrBiDi_GetFeatureInfo(BiDiHandle* handle, LPCWSTR featureName, FeatureInfo** info);
LONG WINAPI ClrBiDi_DeleteFeatureInfo(BiDiHandle* handle, FeatureInfo** info);
LONG WINAPI ClrBiDi_SelectOption(BiDiHandle* handle, LPCWSTR featureName, LPCWSTR optionValue);

/* ---- Printer attributes ---------------------------------------------------------------------- */

/* One paper tray. The field order is not the module's argument order: text4 comes first. */
typedef struct TrayRecord {
    WCHAR text1[32];
    LONG value1;
    LONG value2;
    WCHAR text4[32];
    WCHAR text2[32];
    WCHAR text3[32];
} TrayRecord;

VYXBIDI_LAYOUT(sizeof(TrayRecord), 264, 264);
VYXBIDI_LAYOUT(offsetof(TrayRecord, text1), 0, 0);
VYXBIDI_LAYOUT(offsetof(TrayRecord, value1), 64, 64);
VYXBIDI_LAYOUT(offsetof(TrayRecord, value2), 68, 68);
VYXBIDI_LAYOUT(offsetof(TrayRecord, text4), 72, 72);
VYXBIDI_LAYOUT(offsetof(TrayRecord, text2), 136, 136);
VYXBIDI_LAYOUT(offsetof(TrayRecord, text3), 200, 200);

/* One toner colour. */
typedef struct TonerRecord {
    WCHAR text1[32];
    LONG value1;
    LONG value2;
} TonerRecord;

VYXBIDI_LAYOUT(sizeof(TonerRecord), 72, 72);
VYXBIDI_LAYOUT(offsetof(TonerRecord, text1), 0, 0);
VYXBIDI_LAYOUT(offsetof(TonerRecord, value1), 64, 64);
VYXBIDI_LAYOUT(offsetof(TonerRecord, value2), 68, 68);

/* The two texts the module gives for one installable option; the second text comes first. */
typedef struct InstallableSlot {
    WCHAR text2[64];
    WCHAR text1[40];
} InstallableSlot;

VYXBIDI_LAYOUT(sizeof(InstallableSlot), 208, 208);
VYXBIDI_LAYOUT(offsetof(InstallableSlot, text2), 0, 0);
VYXBIDI_LAYOUT(offsetof(InstallableSlot, text1), 128, 128);

typedef struct InstallablesRecord {
    InstallableSlot sorter;
    InstallableSlot duplex;
    InstallableSlot lowerTray;
    InstallableSlot fax;
    InstallableSlot finisher;
    InstallableSlot faceDownUnit;
    InstallableSlot finisherType;
    InstallableSlot finisherOption;
    InstallableSlot mfpOption;
} InstallablesRecord;

VYXBIDI_LAYOUT(sizeof(InstallablesRecord), 1872, 1872);
VYXBIDI_LAYOUT(offsetof(InstallablesRecord, sorter), 0, 0);
VYXBIDI_LAYOUT(offsetof(InstallablesRecord, duplex), 208, 208);
VYXBIDI_LAYOUT(offsetof(InstallablesRecord, lowerTray), 416, 416);
VYXBIDI_LAYOUT(offsetof(InstallablesRecord, fax), 624, 624);
VYXBIDI_LAYOUT(offsetof(InstallablesRecord, finisher), 832, 832);
VYXBIDI_LAYOUT(offsetof(InstallablesRecord, faceDownUnit), 1040, 1040);
VYXBIDI_LAYOUT(offsetof(InstallablesRecord, finisherType), 1248, 1248);
VYXBIDI_LAYOUT(offsetof(InstallablesRecord, finisherOption), 1456, 1456);
VYXBIDI_LAYOUT(offsetof(InstallablesRecord, mfpOption), 1664, 1664);

/* Presence mask bits: set when that option's query answered 0. */
#define BIDI_HAS_SORTER 0x001
#define BIDI_HAS_DUPLEX 0x002
#define BIDI_HAS_LOWER_TRAY 0x004
#define BIDI_HAS_FAX 0x008
#define BIDI_HAS_FINISHER 0x010
#define BIDI_HAS_FACE_DOWN_UNIT 0x020
#define BIDI_HAS_FINISHER_TYPE 0x040
#define BIDI_HAS_FINISHER_OPTION 0x080
#define BIDI_HAS_MFP_OPTION 0x100

LONG WINAPI Attrib_OpenSession(BiDiHandle* handle, LPCWSTR first, LPCWSTR second);
LONG WINAPI Attrib_CloseSession(BiDiHandle* handle);
LONG WINAPI Attrib_GetPaperConsumables(BiDiHandle* handle, TrayRecord** trays, LONG* count);
LONG WINAPI Attrib_FreePaperConsBuffers(BiDiHandle* handle, TrayRecord** trays);
LONG WINAPI Attrib_GetTonerConsumables(BiDiHandle* handle, TonerRecord** toners, LONG* count);
LONG WINAPI Attrib_FreeTonerConsBuffers(BiDiHandle* handle, TonerRecord** toners);
LONG WINAPI Attrib_GetInstallableOptions(BiDiHandle* handle, InstallablesRecord** record,
                                         DWORD* presence);
LONG WINAPI Attrib_FreeInstallablesBuffers(BiDiHandle* handle, InstallablesRecord** record);

/* `value` travels to the query module untouched: a plain value or an address, as agreed
 * between the caller and the module. */
LONG WINAPI Misc_GetEMailNotification(BiDiHandle* handle, void* value);

/* ---- Job templates --------------------------------------------------------------------------- */

#define BIDI_MAX_TEMPLATES 64
#define BIDI_MAX_TEMPLATE_ITEMS 128

typedef struct TemplateItem {
    WCHAR key[64];
    WCHAR value[64];
} TemplateItem;

VYXBIDI_LAYOUT(sizeof(TemplateItem), 256, 256);
VYXBIDI_LAYOUT(offsetof(TemplateItem, key), 0, 0);
VYXBIDI_LAYOUT(offsetof(TemplateItem, value), 128, 128);
VYXBIDI_LAYOUT(sizeof(TemplateItem) * BIDI_MAX_TEMPLATE_ITEMS, 32768, 32768);

typedef struct TemplateRecord {
    WCHAR name[64];
    LONG tag;            /* as the module reported it */
    TemplateItem* items; /* block of 128 items; null in lists from JobTplate_GetNames */
    LONG itemCount;
} TemplateRecord;

VYXBIDI_LAYOUT(sizeof(TemplateRecord), 140, 152);
VYXBIDI_LAYOUT(offsetof(TemplateRecord, name), 0, 0);
VYXBIDI_LAYOUT(offsetof(TemplateRecord, tag), 128, 128);
VYXBIDI_LAYOUT(offsetof(TemplateRecord, items), 132, 136);
VYXBIDI_LAYOUT(offsetof(TemplateRecord, itemCount), 136, 144);
VYXBIDI_LAYOUT(sizeof(TemplateRecord) * BIDI_MAX_TEMPLATES, 8960, 9728);

/* Owned by the caller; the listings fill it, the release exports leave it as it is. */
typedef struct TemplateList {
    TemplateRecord* templates;
    LONG count;
} TemplateList;

VYXBIDI_LAYOUT(sizeof(TemplateList), 8, 16);
VYXBIDI_LAYOUT(offsetof(TemplateList, templates), 0, 0);
VYXBIDI_LAYOUT(offsetof(TemplateList, count), 4, 8);

LONG WINAPI JobTplate_GetNames(BiDiHandle* handle, TemplateList* list);
LONG WINAPI JobTplate_GetNames_Free(BiDiHandle* handle, TemplateList* list);
LONG WINAPI JobTplate_GetAll(BiDiHandle* handle, TemplateList* list);
LONG WINAPI JobTplate_GetAll_Free(BiDiHandle* handle, TemplateList* list);

#ifdef __cplusplus
}
#endif

#endif /* VYXBIDI_H */
