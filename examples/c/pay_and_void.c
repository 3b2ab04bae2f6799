/* A host in C: opens a device on the terminal, pays 12.34 EUR with the receipt printed by the cash
 * register, voids that payment by its refund reference, closes the device, and frees every text the
 * library returned.
 *
 *   pay_and_void [ADDRESS:PORT [LIBRARY]]     default 127.0.0.1:5017 (p17-emulator --tcp 5017)
 *
 * Exit code 0 when every command succeeded. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "zrpa_loader.h"

/* A new BSTR holding the ASCII text aText (the requests here are ASCII); freed with zrpa_free. */
static BSTR to_bstr(const struct zrpa_api* aApi, const char* aText) {
    const size_t n = strlen(aText);
    BSTR text = zrpa_alloc(aApi, (uint32_t)n);
    uint16_t* units = (uint16_t*)text;
    for (size_t i = 0; text != NULL && i < n; ++i) {
        units[i] = (unsigned char)aText[i];
    }
    return text;
}

/* The UTF-8 form of a BSTR, as a new string the caller frees with free(); "" for null. */
static char* to_utf8(const struct zrpa_api* aApi, BSTR aText) {
    const uint32_t n = zrpa_length(aApi, aText);
    const uint16_t* units = (const uint16_t*)aText;
    char* out = malloc((size_t)n * 3 + 1);
    size_t k = 0;
    if (out == NULL) {
        return NULL;
    }
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out[k++] = (char)c;
        } else if (c < 0x800) {
            out[k++] = (char)(0xC0 | (c >> 6));
            out[k++] = (char)(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out[k++] = (char)(0xE0 | (c >> 12));
            out[k++] = (char)(0x80 | ((c >> 6) & 0x3F));
            out[k++] = (char)(0x80 | (c & 0x3F));
        } else {
            out[k++] = (char)(0xF0 | (c >> 18));
            out[k++] = (char)(0x80 | ((c >> 12) & 0x3F));
            out[k++] = (char)(0x80 | ((c >> 6) & 0x3F));
            out[k++] = (char)(0x80 | (c & 0x3F));
        }
    }
    out[k] = '\0';
    return out;
}

/* Copies the text of element aName of a result document into aValue (empty when absent). */
static void element(const char* aDocument, const char* aName, char* aValue, size_t aSize) {
    char open[64], close[64];
    const char *start, *end;
    snprintf(open, sizeof open, "<%s>", aName);
    snprintf(close, sizeof close, "</%s>", aName);
    aValue[0] = '\0';
    start = strstr(aDocument, open);
    end = start != NULL ? strstr(start, close) : NULL;
    if (end != NULL && (size_t)(end - start - strlen(open)) < aSize) {
        start += strlen(open);
        memcpy(aValue, start, (size_t)(end - start));
        aValue[end - start] = '\0';
    }
}

/* Calls one command with aRequest, prints its outcome, frees the three BSTRs and returns the result
 * document (the caller frees it with free()). *aFailed is set when the command failed. */
static char* call(const struct zrpa_api* aApi, ZRPA_PFN_COMMAND aCommand, const char* aName,
                  const char* aRequest, int* aFailed) {
    BSTR request = to_bstr(aApi, aRequest);
    BSTR output = NULL; /* passed empty: the library does not free what they held */
    BSTR errorMessage = NULL;
    const int16_t result = aCommand(request, &output, &errorMessage);
    char* document = to_utf8(aApi, output);
    char* error = to_utf8(aApi, errorMessage);
    zrpa_free(aApi, request); /* the request stays ours; the outputs are ours to free too */
    zrpa_free(aApi, output);
    zrpa_free(aApi, errorMessage);
    printf("=== %s: result %d%s%s\n%s\n\n", aName, result, result != 0 ? ", error: " : "", error ? error : "",
           document ? document : "");
    free(error);
    if (result != 0) {
        *aFailed = 1;
    }
    return document;
}

int main(int argc, char** argv) {
    const char* terminal = argc > 1 ? argv[1] : "127.0.0.1:5017";
    const char* library = argc > 2 ? argv[2] : NULL;
    char address[64] = "", port[16] = "", connection[512], request[2048], handle[16], reference[64];
    const char* colon = strrchr(terminal, ':');
    struct zrpa_api api;
    int failed = 0;
    char* document;

    if (colon == NULL || (size_t)(colon - terminal) >= sizeof address || strlen(colon + 1) >= sizeof port) {
        fprintf(stderr, "usage: %s [ADDRESS:PORT [LIBRARY]]\n", argv[0]);
        return 2;
    }
    memcpy(address, terminal, (size_t)(colon - terminal));
    strcpy(port, colon + 1);
    if (zrpa_load(&api, library) != 0) {
        return 2;
    }
    snprintf(connection, sizeof connection,
             "<Driver>ZRPA_RIVEVEDEV17_10</Driver><LogId>example-c</LogId>"
             "<Connection><Type>TCP</Type><Address>%s</Address><Port>%s</Port>"
             "<ConnectTimeout>3000</ConnectTimeout></Connection>",
             address, port);

    snprintf(request, sizeof request, "<Request>%s</Request>", connection);
    document = call(&api, api.open, "OPEN", request, &failed);
    element(document ? document : "", "Handle", handle, sizeof handle);
    free(document);

    snprintf(request, sizeof request,
             "<Request><Handle>%s</Handle>%s<Payment><Action>PAY</Action><Amount>12.34</Amount>"
             "<Currency>EUR</Currency><TillCode>1</TillCode><PrintLocation>ECR</PrintLocation></Payment></"
             "Request>",
             handle, connection);
    document = call(&api, api.pay, "PAY 12.34 EUR", request, &failed);
    element(document ? document : "", "RefundReference", reference, sizeof reference);
    free(document);

    snprintf(request, sizeof request,
             "<Request><Handle>%s</Handle>%s<Payment><Action>VOID</Action><Currency>EUR</Currency>"
             "<TillCode>1</TillCode><PrintLocation>ECR</PrintLocation>"
             "<RefundReference><PaymentId>%s</PaymentId></RefundReference></Payment></Request>",
             handle, connection, reference);
    free(call(&api, api.pay, "VOID by refund reference", request, &failed));

    snprintf(request, sizeof request, "<Request><Handle>%s</Handle>%s</Request>", handle, connection);
    /* Nothing runs on the handle now: CANCEL succeeds and reports Cancelled 0. A till calls it from
     * another thread (a Cancel button) while a PAY waits. */
    free(call(&api, api.cancel, "CANCEL (nothing running)", request, &failed));
    free(call(&api, api.close, "CLOSE", request, &failed));

    zrpa_unload(&api);
    printf("%s\n", failed ? "FAILED" : "all commands succeeded");
    return failed ? 1 : 0;
}
