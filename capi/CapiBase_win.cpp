// SPDX-License-Identifier: GPL-3.0-or-later
// capi2032.dll, the CAPI 2.0 driver interface of Windows.
#include "capi/CapiPlatform.h"

#include <windows.h>

namespace capi_platform {

namespace {
template <typename Fn> void Bind(void* library, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name)));
}
} // namespace

const char* const kLibraryName = "capi2032.dll";

void* OpenLibrary(const char* name) {
    return reinterpret_cast<void*>(LoadLibraryA(name));
}

void CloseLibrary(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}

void BindEntryPoints(CapiBase& capi) {
    void* const lib = capi.hCapiDll;
    Bind(lib, "CAPI_REGISTER", capi.CAPI_REGISTER);
    Bind(lib, "CAPI_RELEASE", capi.CAPI_RELEASE);
    Bind(lib, "CAPI_PUT_MESSAGE", capi.CAPI_PUT_MESSAGE);
    Bind(lib, "CAPI_GET_MESSAGE", capi.CAPI_GET_MESSAGE);
    Bind(lib, "CAPI_WAIT_FOR_SIGNAL", capi.CAPI_WAIT_FOR_SIGNAL);
    Bind(lib, "CAPI_GET_MANUFACTURER", capi.CAPI_GET_MANUFACTURER);
    Bind(lib, "CAPI_GET_VERSION", capi.CAPI_GET_VERSION);
    Bind(lib, "CAPI_GET_SERIAL_NUMBER", capi.CAPI_GET_SERIAL_NUMBER);
    Bind(lib, "CAPI_GET_PROFILE", capi.CAPI_GET_PROFILE);
    Bind(lib, "CAPI_INSTALLED", capi.CAPI_INSTALLED);
}

// A loaded capi2032.dll is the installed driver.
bool DeviceReachable(const CapiBase&) {
    return true;
}

unsigned TakeMessage(CapiBase& capi, const uint8_t** msg) {
    void* p = nullptr;
    const unsigned rc = capi.CAPI_GET_MESSAGE(capi.dwApplId, &p); // returns at once when empty
    if (rc != 0) return rc;
    if (!p) return CapiBase::kErrQueueEmpty;
    *msg = static_cast<const uint8_t*>(p);
    return 0;
}

unsigned Register(CapiBase::FnRegister registerApp, unsigned* applId) {
    return registerApp(3072, 2, 7, 2048, applId);
}

bool ReadManufacturer(const CapiBase& capi, unsigned char* buffer) {
    capi.CAPI_GET_MANUFACTURER(reinterpret_cast<char*>(buffer));
    return true;
}

void ReadVersion(const CapiBase& capi, uint32_t version[4]) {
    unsigned v[4] = {0, 0, 0, 0};
    capi.CAPI_GET_VERSION(&v[0], &v[1], &v[2], &v[3]);
    for (int i = 0; i < 4; ++i)
        version[i] = v[i];
}

} // namespace capi_platform
