/* The library loaded at run time and its exports looked up by name, as a till program does it.
 * zrpa_loader_posix.c (dlopen) and zrpa_loader_win.c (LoadLibraryW) implement it. */
#ifndef ZRPA_LOADER_H
#define ZRPA_LOADER_H

#include <stdint.h>

#include "ZRPA_RIVEVEDEV17_10.h"

struct zrpa_api {
    void* module;
    ZRPA_PFN_PAY pay;
    ZRPA_PFN_REPRINT reprint;
    ZRPA_PFN_OPEN open;
    ZRPA_PFN_CLOSE close;
    ZRPA_PFN_GETSTATUS getstatus;
    ZRPA_PFN_DAYCLOSE dayclose;
    ZRPA_PFN_GETTOTALS gettotals;
    ZRPA_PFN_VERIFYTRAN verifytran;
    ZRPA_PFN_CANCEL cancel;
    ZRPA_PFN_VERSION version;
};

/* Loads the library (aPath, or ZRPA_LIBRARY_FILE from the system's search path when null) and looks up
 * the ten exports. 0 on success; otherwise -1 with the reason printed on stderr. */
int zrpa_load(struct zrpa_api* aApi, const char* aPath);
void zrpa_unload(struct zrpa_api* aApi);

/* A new BSTR of aLength UTF-16 code units (zeros), null when out of memory; freed with zrpa_free. */
BSTR zrpa_alloc(const struct zrpa_api* aApi, uint32_t aLength);
/* Length in UTF-16 code units of a BSTR (0 for null). */
uint32_t zrpa_length(const struct zrpa_api* aApi, BSTR aText);
/* Frees a BSTR made by zrpa_string or returned by an export; null is allowed. */
void zrpa_free(const struct zrpa_api* aApi, BSTR aText);

#endif
