#pragma once
// The CUPS functions the print spooler calls, looked up in libcups.so.2 when the spooler is first used:
// a host that never prints through the spooler channel runs without CUPS. POSIX only.
#include <cups/cups.h>

struct tZR_CupsApi {
    ipp_status_t (*LastError)() = nullptr;
    const char* (*LastErrorString)() = nullptr;
    int (*GetDests2)(http_t* aHttp, cups_dest_t** aDests) = nullptr;
    cups_dest_t* (*GetNamedDest)(http_t* aHttp, const char* aName, const char* aInstance) = nullptr;
    void (*FreeDests)(int aCount, cups_dest_t* aDests) = nullptr;
    cups_dinfo_t* (*CopyDestInfo)(http_t* aHttp, cups_dest_t* aDest) = nullptr;
    void (*FreeDestInfo)(cups_dinfo_t* aInfo) = nullptr;
    int (*GetDestMediaDefault)(http_t* aHttp, cups_dest_t* aDest, cups_dinfo_t* aInfo, unsigned aFlags,
                               cups_size_t* aSize) = nullptr;
    ipp_attribute_t* (*FindDestDefault)(http_t* aHttp, cups_dest_t* aDest, cups_dinfo_t* aInfo,
                                        const char* aOption) = nullptr;
    ipp_tag_t (*IppGetValueTag)(ipp_attribute_t* aAttribute) = nullptr;
    int (*IppGetResolution)(ipp_attribute_t* aAttribute, int aElement, int* aY, ipp_res_t* aUnits) = nullptr;
    int (*AddIntegerOption)(const char* aName, int aValue, int aCount, cups_option_t** aOptions) = nullptr;
    void (*FreeOptions)(int aCount, cups_option_t* aOptions) = nullptr;
    int (*CreateJob)(http_t* aHttp, const char* aName, const char* aTitle, int aOptionCount,
                     cups_option_t* aOptions) = nullptr;
    http_status_t (*StartDocument)(http_t* aHttp, const char* aName, int aJobId, const char* aDocName,
                                   const char* aFormat, int aLastDocument) = nullptr;
    http_status_t (*WriteRequestData)(http_t* aHttp, const char* aBuffer, size_t aLength) = nullptr;
    ipp_status_t (*FinishDocument)(http_t* aHttp, const char* aName) = nullptr;
    ipp_status_t (*CancelJob2)(http_t* aHttp, const char* aName, int aJobId, int aPurge) = nullptr;

    // The functions, loaded once per process. Raises (every time) when libcups.so.2 cannot be loaded or
    // lacks one of them, with a message naming the library.
    static const tZR_CupsApi& Get();
};
