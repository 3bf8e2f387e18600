/* Both public headers compile as C, and their layouts hold there too. */
#define VYXQUERY_DECLARE_ENTRY_POINTS
#include <vyxquery.h>

/* A C caller sees the same records; a C module author gets the same pointer types. */
int vyxtest_c_header_sizes(void) {
    PFN_Color_GetCurrentKey getCurrentKey = 0;
    (void)getCurrentKey;
    return (int)(sizeof(BiDiHandle) + sizeof(FeatureInfo) + sizeof(TemplateRecord));
}
