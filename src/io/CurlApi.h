#pragma once
// The libcurl functions the HTTP transport calls, looked up in libcurl.so.4 when the first HTTP channel
// posts: a host that never uses an HTTP channel runs without libcurl. POSIX only.
#include <curl/curl.h>

struct tZR_CurlApi {
    CURLcode (*GlobalInit)(long aFlags) = nullptr;
    const char* (*EasyStrError)(CURLcode aCode) = nullptr;
    CURL* (*EasyInit)() = nullptr;
    void (*EasyReset)(CURL* aCurl) = nullptr;
    CURLcode (*EasySetOpt)(CURL* aCurl, CURLoption aOption, ...) = nullptr;
    CURLcode (*EasyPerform)(CURL* aCurl) = nullptr;
    CURLcode (*EasyGetInfo)(CURL* aCurl, CURLINFO aInfo, ...) = nullptr;
    void (*EasyCleanup)(CURL* aCurl) = nullptr;
    curl_slist* (*SlistAppend)(curl_slist* aList, const char* aText) = nullptr;
    void (*SlistFreeAll)(curl_slist* aList) = nullptr;

    // The functions, loaded once per process. Raises (every time) when libcurl.so.4 cannot be loaded
    // or lacks one of them, with a message naming the library.
    static const tZR_CurlApi& Get();
};
