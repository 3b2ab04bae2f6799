/*
 * Payment-terminal driver: the interface a host program calls.
 *
 * Every command takes an XML request and hands back a result document, an error text and a result code
 * (0 success, -1 failure). Both outputs are allocated by the library; release them with SysFreeString.
 * An empty output is returned as a null string. Pass both output pointers on every call.
 *
 * Windows: __stdcall, strings are OLE BSTRs from oleaut32.
 * Linux:   the C calling convention; BSTR keeps the OLE layout (UTF-16 code units, a 32-bit byte length
 *          just before the text, a 16-bit NUL after it) and the library exports SysAllocStringLen,
 *          SysFreeString and SysStringLen, so a host written for Windows ports unchanged.
 */
#ifndef ZRPA_RIVEVEDEV17_10_H
#define ZRPA_RIVEVEDEV17_10_H

#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
#include <oleauto.h>
#define ZRPA_CALL __stdcall
#ifdef ZRPA_BUILDING_LIBRARY
#define ZRPA_API
#else
#define ZRPA_API __declspec(dllimport)
#endif
#else
#ifndef __cplusplus
#include <uchar.h>
#endif
#define ZRPA_CALL
#define ZRPA_API __attribute__((visibility("default")))
typedef char16_t* BSTR;
#endif

#ifdef __cplusplus
extern "C" {
#endif

#ifndef _WIN32
ZRPA_API BSTR SysAllocStringLen(const char16_t* aText, uint32_t aLength);
ZRPA_API void SysFreeString(BSTR aText);
ZRPA_API uint32_t SysStringLen(BSTR aText);
#endif

/* Payment, refund or void, chosen by the request's Payment/Action. */
ZRPA_API int16_t ZRPA_CALL PAY(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage);
/* Reprint of the terminal's last receipt. */
ZRPA_API int16_t ZRPA_CALL REPRINT(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage);
/* Opens a device and reports its handle for later requests; CLOSE releases it. */
ZRPA_API int16_t ZRPA_CALL OPEN(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage);
ZRPA_API int16_t ZRPA_CALL CLOSE(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage);
/* Answers without reading the request or touching a device. */
ZRPA_API int16_t ZRPA_CALL GETSTATUS(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage);
/* Closes the terminal's accounting period. */
ZRPA_API int16_t ZRPA_CALL DAYCLOSE(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage);
/* Totals of the current accounting period. */
ZRPA_API int16_t ZRPA_CALL GETTOTALS(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage);
/* Verification of the last transaction. */
ZRPA_API int16_t ZRPA_CALL VERIFYTRAN(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage);
/* Version text of a registered driver; aDriverName is a plain name, not a document. */
ZRPA_API int32_t ZRPA_CALL VERSION(BSTR aDriverName, BSTR* aVersion, BSTR* aErrorMessage);

#ifdef __cplusplus
}
#endif

#endif
