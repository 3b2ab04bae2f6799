/*
 * Payment-terminal driver: the interface a host program calls.
 *
 * Every command takes an XML request and hands back a result document, an error text and a result code
 * (0 success, -1 failure). Both outputs are allocated by the library; release them with SysFreeString.
 * An empty output is returned as a null string. Pass both output pointers on every call.
 *
 * Windows: __stdcall (ZRPA_CALL), strings are OLE BSTRs from oleaut32.
 * Linux:   the C calling convention; BSTR keeps the OLE layout (UTF-16 code units, a 32-bit byte length
 *          just before the text, a 16-bit NUL after it) and the library exports SysAllocStringLen,
 *          SysFreeString and SysStringLen, so a host written for Windows ports unchanged.
 *
 * Ownership, the same for all ten exports:
 *  - the request (first argument) stays the caller's: the library reads a copy and never frees it;
 *  - both outputs are set to null on entry WITHOUT being released, so pass them empty (null);
 *  - each output the library returns is a new BSTR that the caller frees with SysFreeString (on Linux the
 *    library's own, looked up in the library, never free()).
 *
 * Hosts that load the library at run time (LoadLibraryW/GetProcAddress, dlopen/dlsym) use the ZRPA_PFN_*
 * types below for the looked-up addresses. Other languages: every command is
 *     int16 NAME(BSTR request, BSTR* output, BSTR* errorMessage)   and   int32 VERSION(BSTR, BSTR*, BSTR*)
 * with ZRPA_CALL as the calling convention.
 */
#ifndef ZRPA_RIVEVEDEV17_10_H
#define ZRPA_RIVEVEDEV17_10_H

#include <stdint.h>

/* The interface version: the major number changes only when an existing export changes (it is the
 * Linux soname's number); the minor number grows with additions. VERSION reports the driver's release. */
#define ZRPA_ABI_MAJOR 1
#define ZRPA_DRIVER_NAME "ZRPA_RIVEVEDEV17_10"
/* The leading words of the two failures that decide whether a host may simply try again. */
#define ZRPA_NOT_PERFORMED "Not performed:"
#define ZRPA_OUTCOME_UNKNOWN "Outcome unknown:"

#ifdef _WIN32
#include <windows.h>
/* after windows.h, which it relies on */
#include <oleauto.h>
#define ZRPA_CALL __stdcall
#define ZRPA_LIBRARY_FILE "ZRPA_RIVEVEDEV17_10.dll"
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
#define ZRPA_LIBRARY_FILE "libZRPA_RIVEVEDEV17_10.so.1"
#define ZRPA_API __attribute__((visibility("default")))
typedef char16_t* BSTR;
#endif

#ifdef __cplusplus
extern "C" {
#endif

#ifndef _WIN32
/* A new BSTR holding aLength code units copied from aText (zeros when aText is null); null when out of
 * memory. Freed by SysFreeString. */
ZRPA_API BSTR SysAllocStringLen(const char16_t* aText, uint32_t aLength);
/* Frees a BSTR from SysAllocStringLen or from an export; null is allowed. */
ZRPA_API void SysFreeString(BSTR aText);
/* Length in code units (the prefix / 2); 0 for null. */
ZRPA_API uint32_t SysStringLen(BSTR aText);
#endif

/* Payment, refund or void, chosen by the request's Payment/Action. Caller frees *aOutput and
 * *aErrorMessage. */
ZRPA_API int16_t ZRPA_CALL PAY(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage);
/* Reprint of the terminal's last receipt. Caller frees both outputs. */
ZRPA_API int16_t ZRPA_CALL REPRINT(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage);
/* Opens a device and reports its handle (element Handle) for later requests; CLOSE releases it. Caller
 * frees both outputs. */
ZRPA_API int16_t ZRPA_CALL OPEN(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage);
/* Closes the device of the request's Handle. Caller frees both outputs. */
ZRPA_API int16_t ZRPA_CALL CLOSE(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage);
/* Answers without reading the request or touching a device. Caller frees both outputs. */
ZRPA_API int16_t ZRPA_CALL GETSTATUS(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage);
/* Closes the terminal's accounting period. Caller frees both outputs. */
ZRPA_API int16_t ZRPA_CALL DAYCLOSE(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage);
/* Totals of the current accounting period. Caller frees both outputs. */
ZRPA_API int16_t ZRPA_CALL GETTOTALS(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage);
/* Verification of the last transaction (this driver answers "unsupported"). Caller frees both outputs. */
ZRPA_API int16_t ZRPA_CALL VERIFYTRAN(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage);
/* Stops the waiting of running commands, from any thread: those on the request's Handle, or every
 * running command (those without a handle included) when the request names no handle. Returns at once
 * with their number in the element Cancelled; each cancelled command returns within a second with
 * -1: "Not performed: ..." when its request had not reached the terminal (safe to try again), else
 * "Outcome unknown: ..." (look at the terminal before trying again). Caller frees both outputs. */
ZRPA_API int16_t ZRPA_CALL CANCEL(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage);
/* Version text of a registered driver; aDriverName is a plain name (ZRPA_DRIVER_NAME), not a document.
 * Returns a full 32-bit 0 or -1. Caller frees *aVersion and *aErrorMessage. */
ZRPA_API int32_t ZRPA_CALL VERSION(BSTR aDriverName, BSTR* aVersion, BSTR* aErrorMessage);

/* Addresses of the exports, for hosts that look them up by name. */
typedef int16_t(ZRPA_CALL* ZRPA_PFN_COMMAND)(BSTR aXml, BSTR* aOutput, BSTR* aErrorMessage);
typedef ZRPA_PFN_COMMAND ZRPA_PFN_PAY;
typedef ZRPA_PFN_COMMAND ZRPA_PFN_REPRINT;
typedef ZRPA_PFN_COMMAND ZRPA_PFN_OPEN;
typedef ZRPA_PFN_COMMAND ZRPA_PFN_CLOSE;
typedef ZRPA_PFN_COMMAND ZRPA_PFN_GETSTATUS;
typedef ZRPA_PFN_COMMAND ZRPA_PFN_DAYCLOSE;
typedef ZRPA_PFN_COMMAND ZRPA_PFN_GETTOTALS;
typedef ZRPA_PFN_COMMAND ZRPA_PFN_VERIFYTRAN;
typedef ZRPA_PFN_COMMAND ZRPA_PFN_CANCEL;
typedef int32_t(ZRPA_CALL* ZRPA_PFN_VERSION)(BSTR aDriverName, BSTR* aVersion, BSTR* aErrorMessage);
#ifndef _WIN32
/* The library's string functions (Windows hosts use oleaut32's). */
typedef BSTR (*ZRPA_PFN_SysAllocStringLen)(const char16_t* aText, uint32_t aLength);
typedef void (*ZRPA_PFN_SysFreeString)(BSTR aText);
typedef uint32_t (*ZRPA_PFN_SysStringLen)(BSTR aText);
#endif

#ifdef __cplusplus
}
#endif

#endif
