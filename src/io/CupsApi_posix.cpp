#include "io/CupsApi.h"

#include "io/RuntimeLibrary.h"

const tZR_CupsApi& tZR_CupsApi::Get() {
    // Thread-safe, once; the library stays loaded.
    return LoadRuntimeApiOnce<tZR_CupsApi>([](tZR_CupsApi& api) {
        tZR_RuntimeLibrary library(u"The print spooler channel", u"libcups.so.2");
        library.Bind(api.LastError, "cupsLastError");
        library.Bind(api.LastErrorString, "cupsLastErrorString");
        library.Bind(api.GetDests2, "cupsGetDests2");
        library.Bind(api.GetNamedDest, "cupsGetNamedDest");
        library.Bind(api.FreeDests, "cupsFreeDests");
        library.Bind(api.CopyDestInfo, "cupsCopyDestInfo");
        library.Bind(api.FreeDestInfo, "cupsFreeDestInfo");
        library.Bind(api.GetDestMediaDefault, "cupsGetDestMediaDefault");
        library.Bind(api.FindDestDefault, "cupsFindDestDefault");
        library.Bind(api.IppGetValueTag, "ippGetValueTag");
        library.Bind(api.IppGetResolution, "ippGetResolution");
        library.Bind(api.AddIntegerOption, "cupsAddIntegerOption");
        library.Bind(api.FreeOptions, "cupsFreeOptions");
        library.Bind(api.CreateJob, "cupsCreateJob");
        library.Bind(api.StartDocument, "cupsStartDocument");
        library.Bind(api.WriteRequestData, "cupsWriteRequestData");
        library.Bind(api.FinishDocument, "cupsFinishDocument");
        library.Bind(api.CancelJob2, "cupsCancelJob2");
    });
}
