/* Linux: dlopen. The BSTR functions are the library's own, looked up in it, so no other library's
 * functions of the same names are used. */
#include <dlfcn.h>
#include <stdio.h>

#include "zrpa_loader.h"

static ZRPA_PFN_SysAllocStringLen gAlloc;
static ZRPA_PFN_SysFreeString gFree;
static ZRPA_PFN_SysStringLen gLength;

static void* lookup(void* aModule, const char* aName, int* aMissing) {
    void* address = dlsym(aModule, aName);
    if (address == NULL) {
        fprintf(stderr, "the library has no export %s\n", aName);
        *aMissing = 1;
    }
    return address;
}

int zrpa_load(struct zrpa_api* aApi, const char* aPath) {
    int missing = 0;
    aApi->module = dlopen(aPath != NULL ? aPath : ZRPA_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
    if (aApi->module == NULL) {
        fprintf(stderr, "cannot load the library: %s\n", dlerror());
        return -1;
    }
    /* dlsym returns void*; POSIX guarantees it converts to a function pointer. */
    *(void**)&aApi->pay = lookup(aApi->module, "PAY", &missing);
    *(void**)&aApi->reprint = lookup(aApi->module, "REPRINT", &missing);
    *(void**)&aApi->open = lookup(aApi->module, "OPEN", &missing);
    *(void**)&aApi->close = lookup(aApi->module, "CLOSE", &missing);
    *(void**)&aApi->getstatus = lookup(aApi->module, "GETSTATUS", &missing);
    *(void**)&aApi->dayclose = lookup(aApi->module, "DAYCLOSE", &missing);
    *(void**)&aApi->gettotals = lookup(aApi->module, "GETTOTALS", &missing);
    *(void**)&aApi->verifytran = lookup(aApi->module, "VERIFYTRAN", &missing);
    *(void**)&aApi->cancel = lookup(aApi->module, "CANCEL", &missing);
    *(void**)&aApi->version = lookup(aApi->module, "VERSION", &missing);
    *(void**)&gAlloc = lookup(aApi->module, "SysAllocStringLen", &missing);
    *(void**)&gFree = lookup(aApi->module, "SysFreeString", &missing);
    *(void**)&gLength = lookup(aApi->module, "SysStringLen", &missing);
    if (missing) {
        zrpa_unload(aApi);
        return -1;
    }
    return 0;
}

void zrpa_unload(struct zrpa_api* aApi) {
    if (aApi->module != NULL) {
        dlclose(aApi->module);
        aApi->module = NULL;
    }
}

BSTR zrpa_alloc(const struct zrpa_api* aApi, uint32_t aLength) {
    (void)aApi;
    return gAlloc(NULL, aLength);
}

uint32_t zrpa_length(const struct zrpa_api* aApi, BSTR aText) {
    (void)aApi;
    return gLength(aText);
}

void zrpa_free(const struct zrpa_api* aApi, BSTR aText) {
    (void)aApi;
    gFree(aText);
}
