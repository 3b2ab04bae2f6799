#include "io/IOHandler_Dll.h"

#include "base/ZrError.h"
#include "io/DynamicLibrary.h"

kIOHandler_Dll::kIOHandler_Dll(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName)
    : kIOHandler(aConnection, aDirectory, aFileName) {
    const Text name = aConnection != nullptr ? aConnection->LibraryName : Text();
    WriteLog(tZR_MessageType::let_info, u"kIOHandler_Dll.Create", u"Loading DLL " + name);
    tZR_DynamicLibrary::Failure failure;
    fLibraryHandle = tZR_DynamicLibrary::Load(name, failure);
    if (fLibraryHandle == nullptr) {
        throw ZrError(u"Unable to Load Library " + name + u". " + failure.Message + u" [" +
                      IntToText(failure.Code) + u"]");
    }
    WriteLog(tZR_MessageType::let_info, u"kIOHandler_Dll.Create", u"DLL Loaded successfully");
}

kIOHandler_Dll::~kIOHandler_Dll() {
    if (fLibraryHandle != nullptr) {
        WriteLog(tZR_MessageType::let_info, u"kIOHandler_Dll.Destroy", u"Unloading DLL");
        tZR_DynamicLibrary::Unload(fLibraryHandle);
        fLibraryHandle = nullptr;
        WriteLog(tZR_MessageType::let_info, u"kIOHandler_Dll.Destroy", u"DLL Unloaded Successfully");
    }
}

void* kIOHandler_Dll::GetAddress(const Text& aProcName) {
    void* address = tZR_DynamicLibrary::Address(fLibraryHandle, aProcName);
    if (address == nullptr) {
        throw ZrError(u"Unable to get address for procedure " + aProcName);
    }
    return address;
}

bool kIOHandler_Dll::Write(const Text&) {
    return true;
}
