/* VYXBIDI.dll for callers: result codes, the records the library hands out, and its exports. */
#ifndef VYXBIDI_H
#define VYXBIDI_H

#include <windows.h>
#include <stddef.h>

#ifdef __cplusplus
#define VYXBIDI_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
extern "C" {
#else
#define VYXBIDI_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* Result codes: 32-bit signed. Any other value is the query module's own code, passed through. */
#define BIDI_OK ((LONG)0)
#define BIDI_ERR_FAILED ((LONG)-1)
#define BIDI_ERR_BAD_ARGUMENT ((LONG)0x80000003)
#define BIDI_ERR_NO_ENTRY_POINT ((LONG)0x80000005)

/* All records are laid out for the 32-bit interface; every offset below is part of the contract. */

/* ---- Connection ------------------------------------------------------------------------------ */

/* Made by VyxBiDi_Initialize, released by a successful VyxBiDi_Terminate. Pass it back unchanged. */
typedef struct BiDiHandle {
    HMODULE module;     /* the loaded query module */
    LONG kind;          /* 0: found among the "SNM" candidates, 1: among the "CIN" candidates */
    void* queryContext; /* belongs to the query module; its address goes with every module call */
} BiDiHandle;

VYXBIDI_STATIC_ASSERT(sizeof(BiDiHandle) == 12, "BiDiHandle size");
VYXBIDI_STATIC_ASSERT(offsetof(BiDiHandle, module) == 0, "BiDiHandle.module");
VYXBIDI_STATIC_ASSERT(offsetof(BiDiHandle, kind) == 4, "BiDiHandle.kind");
VYXBIDI_STATIC_ASSERT(offsetof(BiDiHandle, queryContext) == 8, "BiDiHandle.queryContext");

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

VYXBIDI_STATIC_ASSERT(sizeof(TextPair) == 1024, "TextPair size");
VYXBIDI_STATIC_ASSERT(offsetof(TextPair, first) == 0, "TextPair.first");
VYXBIDI_STATIC_ASSERT(offsetof(TextPair, second) == 512, "TextPair.second");

#define BIDI_MAX_FEATURES 64
#define BIDI_MAX_OPTIONS 64

typedef struct FeatureList {
    SHORT featureCount; /* valid entries in features, 0 to 64 */
    SHORT reserved;
    TextPair* features[BIDI_MAX_FEATURES];
} FeatureList;

VYXBIDI_STATIC_ASSERT(sizeof(FeatureList) == 260, "FeatureList size");
VYXBIDI_STATIC_ASSERT(offsetof(FeatureList, featureCount) == 0, "FeatureList.featureCount");
VYXBIDI_STATIC_ASSERT(offsetof(FeatureList, reserved) == 2, "FeatureList.reserved");
VYXBIDI_STATIC_ASSERT(offsetof(FeatureList, features) == 4, "FeatureList.features");

typedef struct FeatureInfo {
    SHORT optionCount;       /* valid entries in options, 0 to 64 */
    TextPair currentKey;     /* the named key's two strings */
    TextPair selectedOption; /* the option the module reports as selected */
    SHORT reserved;
    TextPair* options[BIDI_MAX_OPTIONS];
} FeatureInfo;

VYXBIDI_STATIC_ASSERT(sizeof(FeatureInfo) == 2308, "FeatureInfo size");
VYXBIDI_STATIC_ASSERT(offsetof(FeatureInfo, optionCount) == 0, "FeatureInfo.optionCount");
VYXBIDI_STATIC_ASSERT(offsetof(FeatureInfo, currentKey) == 2, "FeatureInfo.currentKey");
VYXBIDI_STATIC_ASSERT(offsetof(FeatureInfo, currentKey.second) == 514, "FeatureInfo.currentKey.second");
VYXBIDI_STATIC_ASSERT(offsetof(FeatureInfo, selectedOption) == 1026, "FeatureInfo.selectedOption");
VYXBIDI_STATIC_ASSERT(offsetof(FeatureInfo, selectedOption.second) == 1538,
                      "FeatureInfo.selectedOption.second");
VYXBIDI_STATIC_ASSERT(offsetof(FeatureInfo, reserved) == 2050, "FeatureInfo.reserved");
VYXBIDI_STATIC_ASSERT(offsetof(FeatureInfo, options) == 2052, "FeatureInfo.options");

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

VYXBIDI_STATIC_ASSERT(sizeof(TrayRecord) == 264, "TrayRecord size");
VYXBIDI_STATIC_ASSERT(offsetof(TrayRecord, text1) == 0, "TrayRecord.text1");
VYXBIDI_STATIC_ASSERT(offsetof(TrayRecord, value1) == 64, "TrayRecord.value1");
VYXBIDI_STATIC_ASSERT(offsetof(TrayRecord, value2) == 68, "TrayRecord.value2");
VYXBIDI_STATIC_ASSERT(offsetof(TrayRecord, text4) == 72, "TrayRecord.text4");
VYXBIDI_STATIC_ASSERT(offsetof(TrayRecord, text2) == 136, "TrayRecord.text2");
VYXBIDI_STATIC_ASSERT(offsetof(TrayRecord, text3) == 200, "TrayRecord.text3");

/* One toner colour. */
typedef struct TonerRecord {
    WCHAR text1[32];
    LONG value1;
    LONG value2;
} TonerRecord;

VYXBIDI_STATIC_ASSERT(sizeof(TonerRecord) == 72, "TonerRecord size");
VYXBIDI_STATIC_ASSERT(offsetof(TonerRecord, text1) == 0, "TonerRecord.text1");
VYXBIDI_STATIC_ASSERT(offsetof(TonerRecord, value1) == 64, "TonerRecord.value1");
VYXBIDI_STATIC_ASSERT(offsetof(TonerRecord, value2) == 68, "TonerRecord.value2");

/* The two texts the module gives for one installable option; the second text comes first. */
typedef struct InstallableSlot {
    WCHAR text2[64];
    WCHAR text1[40];
} InstallableSlot;

VYXBIDI_STATIC_ASSERT(sizeof(InstallableSlot) == 208, "InstallableSlot size");
VYXBIDI_STATIC_ASSERT(offsetof(InstallableSlot, text2) == 0, "InstallableSlot.text2");
VYXBIDI_STATIC_ASSERT(offsetof(InstallableSlot, text1) == 128, "InstallableSlot.text1");

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

VYXBIDI_STATIC_ASSERT(sizeof(InstallablesRecord) == 1872, "InstallablesRecord size");
VYXBIDI_STATIC_ASSERT(offsetof(InstallablesRecord, sorter) == 0, "InstallablesRecord.sorter");
VYXBIDI_STATIC_ASSERT(offsetof(InstallablesRecord, duplex) == 208, "InstallablesRecord.duplex");
VYXBIDI_STATIC_ASSERT(offsetof(InstallablesRecord, lowerTray) == 416, "InstallablesRecord.lowerTray");
VYXBIDI_STATIC_ASSERT(offsetof(InstallablesRecord, fax) == 624, "InstallablesRecord.fax");
VYXBIDI_STATIC_ASSERT(offsetof(InstallablesRecord, finisher) == 832, "InstallablesRecord.finisher");
VYXBIDI_STATIC_ASSERT(offsetof(InstallablesRecord, faceDownUnit) == 1040,
                      "InstallablesRecord.faceDownUnit");
VYXBIDI_STATIC_ASSERT(offsetof(InstallablesRecord, finisherType) == 1248,
                      "InstallablesRecord.finisherType");
VYXBIDI_STATIC_ASSERT(offsetof(InstallablesRecord, finisherOption) == 1456,
                      "InstallablesRecord.finisherOption");
VYXBIDI_STATIC_ASSERT(offsetof(InstallablesRecord, mfpOption) == 1664, "InstallablesRecord.mfpOption");

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

VYXBIDI_STATIC_ASSERT(sizeof(TemplateItem) == 256, "TemplateItem size");
VYXBIDI_STATIC_ASSERT(offsetof(TemplateItem, key) == 0, "TemplateItem.key");
VYXBIDI_STATIC_ASSERT(offsetof(TemplateItem, value) == 128, "TemplateItem.value");
VYXBIDI_STATIC_ASSERT(sizeof(TemplateItem) * BIDI_MAX_TEMPLATE_ITEMS == 32768, "item block size");

typedef struct TemplateRecord {
    WCHAR name[64];
    LONG tag;            /* as the module reported it */
    TemplateItem* items; /* block of 128 items; null in lists from JobTplate_GetNames */
    LONG itemCount;
} TemplateRecord;

VYXBIDI_STATIC_ASSERT(sizeof(TemplateRecord) == 140, "TemplateRecord size");
VYXBIDI_STATIC_ASSERT(offsetof(TemplateRecord, name) == 0, "TemplateRecord.name");
VYXBIDI_STATIC_ASSERT(offsetof(TemplateRecord, tag) == 128, "TemplateRecord.tag");
VYXBIDI_STATIC_ASSERT(offsetof(TemplateRecord, items) == 132, "TemplateRecord.items");
VYXBIDI_STATIC_ASSERT(offsetof(TemplateRecord, itemCount) == 136, "TemplateRecord.itemCount");
VYXBIDI_STATIC_ASSERT(sizeof(TemplateRecord) * BIDI_MAX_TEMPLATES == 8960, "template array size");

/* Owned by the caller; the listings fill it, the release exports leave it as it is. */
typedef struct TemplateList {
    TemplateRecord* templates;
    LONG count;
} TemplateList;

VYXBIDI_STATIC_ASSERT(sizeof(TemplateList) == 8, "TemplateList size");
VYXBIDI_STATIC_ASSERT(offsetof(TemplateList, templates) == 0, "TemplateList.templates");
VYXBIDI_STATIC_ASSERT(offsetof(TemplateList, count) == 4, "TemplateList.count");

LONG WINAPI JobTplate_GetNames(BiDiHandle* handle, TemplateList* list);
LONG WINAPI JobTplate_GetNames_Free(BiDiHandle* handle, TemplateList* list);
LONG WINAPI JobTplate_GetAll(BiDiHandle* handle, TemplateList* list);
LONG WINAPI JobTplate_GetAll_Free(BiDiHandle* handle, TemplateList* list);

#ifdef __cplusplus
}
#endif

#endif /* VYXBIDI_H */
