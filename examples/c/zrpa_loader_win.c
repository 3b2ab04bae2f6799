/* Windows: LoadLibraryW and GetProcAddress. BSTRs are oleaut32's (link with -loleaut32 / oleaut32.lib). */
#include <stdio.h>
#include <stdlib.h>

#include "zrpa_loader.h"

static FARPROC lookup(HMODULE aModule, const char* aName, int* aMissing) {
    FARPROC address = GetProcAddress(aModule, aName);
    if (address == NULL) {
        fprintf(stderr, "the library has no export %s\n", aName);
        *aMissing = 1;
    }
    return address;
}

int zrpa_load(struct zrpa_api* aApi, const char* aPath) {
    wchar_t path[MAX_PATH];
    int missing = 0;
    HMODULE module;
    if (MultiByteToWideChar(CP_UTF8, 0, aPath != NULL ? aPath : ZRPA_LIBRARY_FILE, -1, path, MAX_PATH) == 0) {
        fprintf(stderr, "library path too long\n");
        return -1;
    }
    module = LoadLibraryW(path);
    if (module == NULL) {
        fprintf(stderr, "cannot load the library: error %lu\n", (unsigned long)GetLastError());
        return -1;
    }
    aApi->module = module;
    /* GetProcAddress returns a generic function pointer: cast it to the export's own type. */
    aApi->pay = (ZRPA_PFN_PAY)(void (*)(void))lookup(module, "PAY", &missing);
    aApi->reprint = (ZRPA_PFN_REPRINT)(void (*)(void))lookup(module, "REPRINT", &missing);
    aApi->open = (ZRPA_PFN_OPEN)(void (*)(void))lookup(module, "OPEN", &missing);
    aApi->close = (ZRPA_PFN_CLOSE)(void (*)(void))lookup(module, "CLOSE", &missing);
    aApi->getstatus = (ZRPA_PFN_GETSTATUS)(void (*)(void))lookup(module, "GETSTATUS", &missing);
    aApi->dayclose = (ZRPA_PFN_DAYCLOSE)(void (*)(void))lookup(module, "DAYCLOSE", &missing);
    aApi->gettotals = (ZRPA_PFN_GETTOTALS)(void (*)(void))lookup(module, "GETTOTALS", &missing);
    aApi->verifytran = (ZRPA_PFN_VERIFYTRAN)(void (*)(void))lookup(module, "VERIFYTRAN", &missing);
    aApi->cancel = (ZRPA_PFN_CANCEL)(void (*)(void))lookup(module, "CANCEL", &missing);
    aApi->version = (ZRPA_PFN_VERSION)(void (*)(void))lookup(module, "VERSION", &missing);
    if (missing) {
        zrpa_unload(aApi);
        return -1;
    }
    return 0;
}

void zrpa_unload(struct zrpa_api* aApi) {
    if (aApi->module != NULL) {
        FreeLibrary((HMODULE)aApi->module);
        aApi->module = NULL;
    }
}

BSTR zrpa_alloc(const struct zrpa_api* aApi, uint32_t aLength) {
    (void)aApi;
    return SysAllocStringLen(NULL, aLength);
}

uint32_t zrpa_length(const struct zrpa_api* aApi, BSTR aText) {
    (void)aApi;
    return SysStringLen(aText);
}

void zrpa_free(const struct zrpa_api* aApi, BSTR aText) {
    (void)aApi;
    SysFreeString(aText);
}
