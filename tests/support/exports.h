// The library's exports, each under its plain name: the list that tests walk export by export.
#pragma once

namespace vyxtest {

inline constexpr const char* kAllExports[] = {
    // connection
    "VyxBiDi_Initialize",
    "VyxBiDi_Terminate",
    "VyxBiDi_Connect",
    "VyxBiDi_Disconnect",

    // colour features
    "ClrBiDi_OpenSession",
    "ClrBiDi_CloseSession",
    "ClrBiDi_GetFeatureList",
    "ClrBiDi_DeleteFeatureList",
    "ClrBiDi_GetFeatureInfo",
    "ClrBiDi_DeleteFeatureInfo",
    "ClrBiDi_SelectOption",

    // printer attributes
    "Attrib_OpenSession",
    "Attrib_CloseSession",
    "Attrib_GetPaperConsumables",
    "Attrib_FreePaperConsBuffers",
    "Attrib_GetTonerConsumables",
    "Attrib_FreeTonerConsBuffers",
    "Attrib_GetInstallableOptions",
    "Attrib_FreeInstallablesBuffers",
    "Misc_GetEMailNotification",

    // job templates
    "JobTplate_GetNames",
    "JobTplate_GetNames_Free",
    "JobTplate_GetAll",
    "JobTplate_GetAll_Free",
};

static_assert(sizeof kAllExports / sizeof kAllExports[0] == 24, "the library has 24 exports");

}  // namespace vyxtest
