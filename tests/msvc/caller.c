/* A driver's caller as Visual Studio builds it: C for the MSVC ABI, no C runtime, linked against
 * VYXBIDI.lib, run beside VYXBIDI.dll and the simulated printer. It calls all 24 exports through
 * the public header, so a name the import library maps wrongly fails to link or to load, and
 * reads the answers through the header's records, so a layout that differs between the header
 * and the DLL shows as a wrong value. Prints each failed check; exits 0 only if every one held. */
#include <windows.h>

#include "vyxbidi.h"

/* The only kernel32 functions used; the test's own kernel32 import library lists them. */
__declspec(dllimport) HANDLE WINAPI GetStdHandle(DWORD which);
__declspec(dllimport) BOOL WINAPI
    WriteFile(HANDLE file, const void* data, DWORD size, DWORD* written, void* overlapped);
__declspec(dllimport) HMODULE WINAPI GetModuleHandleW(LPCWSTR name);
__declspec(dllimport) DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR path, DWORD size);
__declspec(dllimport) void WINAPI ExitProcess(unsigned int code);

#define STD_OUTPUT_HANDLE ((DWORD)-11)

static int checks;
static int failures;

static void put(const char* text) {
    DWORD length = 0, written;
    while (text[length] != 0) {
        ++length;
    }
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, length, &written, 0);
}

static void put_number(long value) {
    char digits[16];
    int at = (int)sizeof digits - 1;
    unsigned long rest = value < 0 ? 0ul - (unsigned long)value : (unsigned long)value;
    digits[at] = 0;
    do {
        digits[--at] = (char)('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (value < 0) {
        digits[--at] = '-';
    }
    put(digits + at);
}

/* Texts go out as ASCII; anything else becomes '?'. */
static void put_wide(const WCHAR* text) {
    char line[2];
    line[1] = 0;
    for (; *text != 0; ++text) {
        line[0] = *text < 0x80 ? (char)*text : '?';
        put(line);
    }
}

static int same_text(const WCHAR* text, const char* expected) {
    for (; *expected != 0; ++text, ++expected) {
        if (*text != (WCHAR)*expected) {
            return 0;
        }
    }
    return *text == 0;
}

static void check_number(const char* what, long got, long expected) {
    ++checks;
    if (got != expected) {
        ++failures;
        put("FAILED: ");
        put(what);
        put(": ");
        put_number(got);
        put(", expected ");
        put_number(expected);
        put("\n");
    }
}

static void check_result(const char* what, LONG got) {
    check_number(what, got, BIDI_OK);
}

static void check_text(const char* what, const WCHAR* got, const char* expected) {
    ++checks;
    if (!same_text(got, expected)) {
        ++failures;
        put("FAILED: ");
        put(what);
        put(": \"");
        put_wide(got);
        put("\", expected \"");
        put(expected);
        put("\"\n");
    }
}

/* The values below are the simulated printer's built-in description. */

static void colour_features(BiDiHandle* handle) {
    FeatureList* list = 0;
    FeatureInfo* info = 0;
    check_result("ClrBiDi_OpenSession", ClrBiDi_OpenSession(handle, 0, 0, 0, 0, 0, 0));

    check_result("ClrBiDi_GetFeatureList", ClrBiDi_GetFeatureList(handle, &list));
    if (list != 0) {
        check_number("feature count", list->featureCount, 6);
        if (list->featureCount == 6) {
            check_text("first feature key", list->features[0]->first, "ColorMode");
            check_text("first feature name", list->features[0]->second, "Colour mode");
            check_text("fourth feature key", list->features[3]->first, "RenderingIntent");
        }
        check_result("ClrBiDi_DeleteFeatureList", ClrBiDi_DeleteFeatureList(handle, &list));
    }

    check_result("ClrBiDi_GetFeatureInfo", ClrBiDi_GetFeatureInfo(handle, L"Halftone", &info));
    if (info != 0) {
        check_number("Halftone option count", info->optionCount, 4);
        check_text("Halftone key name", info->currentKey.second, "Halftone");
        check_text("Halftone selection", info->selectedOption.first, "Auto");
        if (info->optionCount == 4) {
            check_text("last Halftone option", info->options[3]->first, "Fine");
            check_text("last Halftone option label", info->options[3]->second, "Fine detail");
        }
        check_result("ClrBiDi_DeleteFeatureInfo", ClrBiDi_DeleteFeatureInfo(handle, &info));
    }

    check_result("ClrBiDi_SelectOption", ClrBiDi_SelectOption(handle, L"ColorMode", L"Mono"));
    info = 0;
    check_result("ClrBiDi_GetFeatureInfo after the selection",
                 ClrBiDi_GetFeatureInfo(handle, L"ColorMode", &info));
    if (info != 0) {
        check_text("ColorMode selection", info->selectedOption.first, "Mono");
        check_result("ClrBiDi_DeleteFeatureInfo", ClrBiDi_DeleteFeatureInfo(handle, &info));
    }
    check_result("ClrBiDi_CloseSession", ClrBiDi_CloseSession(handle));
}

static void printer_attributes(BiDiHandle* handle) {
    TrayRecord* trays = 0;
    TonerRecord* toners = 0;
    InstallablesRecord* installables = 0;
    LONG count = 0;
    DWORD presence = 0;
    check_result("Attrib_OpenSession", Attrib_OpenSession(handle, 0, 0));

    check_result("Attrib_GetPaperConsumables", Attrib_GetPaperConsumables(handle, &trays, &count));
    check_number("tray count", count, 4);
    if (trays != 0 && count == 4) {
        check_text("tray 1 name", trays[0].text1, "Tray 1");
        check_number("tray 1 capacity", trays[0].value1, 500);
        check_number("tray 1 level", trays[0].value2, 350);
        check_text("tray 1 size", trays[0].text2, "A4");
        check_text("tray 1 media", trays[0].text3, "Plain");
        check_text("tray 1 state", trays[0].text4, "Ready");
        check_text("tray 3 name", trays[2].text1, "Bypass");
        check_number("tray 4 capacity", trays[3].value1, 1500);
        check_number("tray 4 level", trays[3].value2, 1480);
    }
    check_result("Attrib_FreePaperConsBuffers", Attrib_FreePaperConsBuffers(handle, &trays));

    count = 0;
    check_result("Attrib_GetTonerConsumables", Attrib_GetTonerConsumables(handle, &toners, &count));
    check_number("toner count", count, 4);
    if (toners != 0 && count == 4) {
        check_text("toner 1", toners[0].text1, "Cyan");
        check_text("toner 3", toners[2].text1, "Yellow");
        check_number("toner 3 level", toners[2].value1, 12);
        check_number("toner 3 pages", toners[2].value2, 1400);
    }
    check_result("Attrib_FreeTonerConsBuffers", Attrib_FreeTonerConsBuffers(handle, &toners));

    check_result("Attrib_GetInstallableOptions",
                 Attrib_GetInstallableOptions(handle, &installables, &presence));
    check_number("presence mask", (long)presence,
                 BIDI_HAS_SORTER | BIDI_HAS_DUPLEX | BIDI_HAS_LOWER_TRAY | BIDI_HAS_FINISHER |
                     BIDI_HAS_FACE_DOWN_UNIT | BIDI_HAS_FINISHER_TYPE | BIDI_HAS_FINISHER_OPTION);
    if (installables != 0) {
        check_text("sorter", installables->sorter.text2, "10-bin sorter");
        check_text("duplex state", installables->duplex.text1, "Installed");
        check_text("fax state", installables->fax.text1, "Not installed");
        check_text("finisher type", installables->finisherType.text1, "Saddle stitch");
        check_text("MFP option", installables->mfpOption.text2, "Scanner kit");
        check_result("Attrib_FreeInstallablesBuffers",
                     Attrib_FreeInstallablesBuffers(handle, &installables));
    }
    check_result("Attrib_CloseSession", Attrib_CloseSession(handle));

    check_result("Misc_GetEMailNotification", Misc_GetEMailNotification(handle, 0));
}

static void job_templates(BiDiHandle* handle) {
    TemplateList list;
    list.templates = 0;
    list.count = 0;
    check_result("JobTplate_GetNames", JobTplate_GetNames(handle, &list));
    check_number("template count", list.count, 5);
    if (list.templates != 0 && list.count == 5) {
        check_text("template 2", list.templates[1].name, "Brochure A3");
        check_number("template 5 tag", list.templates[4].tag, 105);
        check_number("template 5 items in a name list", list.templates[4].items != 0, 0);
    }
    check_result("JobTplate_GetNames_Free", JobTplate_GetNames_Free(handle, &list));

    list.templates = 0;
    list.count = 0;
    check_result("JobTplate_GetAll", JobTplate_GetAll(handle, &list));
    check_number("template count with items", list.count, 5);
    if (list.templates != 0 && list.count == 5) {
        const TemplateRecord* brochure = &list.templates[1];
        const TemplateRecord* photo = &list.templates[4];
        check_number("Brochure A3 item count", brochure->itemCount, 5);
        check_number("Brochure A3 tag", brochure->tag, 102);
        if (brochure->items != 0 && brochure->itemCount == 5) {
            check_text("Brochure A3 item 3 key", brochure->items[2].key, "Staple");
            check_text("Brochure A3 item 3 value", brochure->items[2].value, "Saddle");
            check_text("Brochure A3 item 5 value", brochure->items[4].value, "Booklet");
        }
        check_text("template 5", photo->name, "Photo");
        check_number("Photo item count", photo->itemCount, 3);
        if (photo->items != 0 && photo->itemCount == 3) {
            check_text("Photo item 2 key", photo->items[1].key, "Halftone");
            check_text("Photo item 3 value", photo->items[2].value, "Glossy");
        }
    }
    check_result("JobTplate_GetAll_Free", JobTplate_GetAll_Free(handle, &list));
}

/* The process entry point: there is no C runtime to call a main. */
void caller_start(void) {
    WCHAR path[260];
    BiDiHandle* handle = 0;
    /* The library's path as caller's path: the simulated printer, VYXBIDI.SNM, lies beside it. */
    DWORD length = GetModuleFileNameW(GetModuleHandleW(L"VYXBIDI.dll"), path, 260);
    check_number("the library's path is known", length > 0 && length < 260, 1);
    if (length > 0 && length < 260) {
        check_result("VyxBiDi_Initialize", VyxBiDi_Initialize(&handle, path));
    }
    if (handle != 0) {
        check_result("VyxBiDi_Connect", VyxBiDi_Connect(handle, 0, 0));
        colour_features(handle);
        printer_attributes(handle);
        job_templates(handle);
        check_result("VyxBiDi_Disconnect", VyxBiDi_Disconnect(handle));
        check_result("VyxBiDi_Terminate", VyxBiDi_Terminate(handle));
    }
    put("msvc caller: ");
    put_number(checks - failures);
    put(" of ");
    put_number(checks);
    put(" checks held\n");
    ExitProcess(failures == 0 ? 0 : 1);
}
