#include "io/CurlApi.h"

#include "io/RuntimeLibrary.h"

const tZR_CurlApi& tZR_CurlApi::Get() {
    // Thread-safe, once; the library stays loaded.
    return LoadRuntimeApiOnce<tZR_CurlApi>([](tZR_CurlApi& api) {
        tZR_RuntimeLibrary library(u"The HTTP channel", u"libcurl.so.4");
        library.Bind(api.GlobalInit, "curl_global_init");
        library.Bind(api.EasyStrError, "curl_easy_strerror");
        library.Bind(api.EasyInit, "curl_easy_init");
        library.Bind(api.EasyReset, "curl_easy_reset");
        library.Bind(api.EasySetOpt, "curl_easy_setopt");
        library.Bind(api.EasyPerform, "curl_easy_perform");
        library.Bind(api.EasyGetInfo, "curl_easy_getinfo");
        library.Bind(api.EasyCleanup, "curl_easy_cleanup");
        library.Bind(api.SlistAppend, "curl_slist_append");
        library.Bind(api.SlistFreeAll, "curl_slist_free_all");
    });
}
