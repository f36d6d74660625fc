// SPDX-License-Identifier: GPL-3.0-or-later
// libcapi20: the kernel's CAPI device or a remote line named in ~/.capi20rc.
#include "capi/CapiPlatform.h"

#include "capi/CapiConfig.h"

#include <csignal>
#include <cstring>
#include <dlfcn.h>
#include <sys/time.h>

namespace capi_platform {

namespace {
template <typename Fn> void Bind(void* library, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(dlsym(library, name));
}

// libcapi20 writes its debug lines to standard error at level 255 when its settings file
// names no TRACELEVEL, which is the case on most workstations. A user's terminal gets them
// only when that file asks for them; the library then applies the named level itself when it
// reads the file (after this, at its first call).
void QuietenLibraryTrace(void* library) {
    if (cb::ReadCapiConfig().iTraceLevel >= 0) return;
    using FnSetTraceLevel = void (*)(int);
    if (auto setLevel =
            reinterpret_cast<FnSetTraceLevel>(dlsym(library, "capi20ext_set_tracelevel")))
        setLevel(0);
}
} // namespace

const char* const kLibraryName = "libcapi20.so.3";

// RTLD_NODELETE: libcapi20 sets up machine-wide shared memory in its constructor and loads
// plug-ins of its own; it must not be torn down and set up again within one process.
void* OpenLibrary(const char* name) {
    return dlopen(name, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
}

void CloseLibrary(void* library) {
    dlclose(library);
}

void BindEntryPoints(CapiBase& capi) {
    void* const lib = capi.hCapiDll;
    Bind(lib, "capi20_register", capi.CAPI_REGISTER);
    Bind(lib, "capi20_release", capi.CAPI_RELEASE);
    Bind(lib, "capi20_put_message", capi.CAPI_PUT_MESSAGE);
    Bind(lib, "capi20_get_message", capi.CAPI_GET_MESSAGE);
    Bind(lib, "capi20_waitformessage", capi.CAPI_WAIT_FOR_SIGNAL);
    Bind(lib, "capi20_get_manufacturer", capi.CAPI_GET_MANUFACTURER);
    Bind(lib, "capi20_get_version", capi.CAPI_GET_VERSION);
    Bind(lib, "capi20_get_serial_number", capi.CAPI_GET_SERIAL_NUMBER);
    Bind(lib, "capi20_get_profile", capi.CAPI_GET_PROFILE);
    Bind(lib, "capi20_isinstalled", capi.CAPI_INSTALLED);
    Bind(lib, "capi20_fileno", capi.CAPI_FILENO);
    QuietenLibraryTrace(lib);
}

bool DeviceReachable(const CapiBase& capi) {
    // The library sends without MSG_NOSIGNAL: a line that went away would otherwise kill the
    // program on its next put.
    std::signal(SIGPIPE, SIG_IGN);
    return capi.CAPI_INSTALLED && capi.CAPI_INSTALLED() == 0;
}

unsigned TakeMessage(CapiBase& capi, const uint8_t** msg) {
    // capi20_get_message blocks on an empty queue of a remote line: ask first.
    timeval noWait{0, 0};
    unsigned rc = capi.CAPI_WAIT_FOR_SIGNAL(capi.dwApplId, &noWait);
    if (rc != 0) return rc;
    unsigned char* p = nullptr;
    rc = capi.CAPI_GET_MESSAGE(capi.dwApplId, &p);
    // Readable but empty: the line closed the connection (end of stream reads as readable).
    if (rc == CapiBase::kErrQueueEmpty) return CapiBase::kErrOsResource;
    if (rc != 0) return rc;
    if (!p) return CapiBase::kErrQueueEmpty;
    *msg = p;
    return 0;
}

unsigned Register(CapiBase::FnRegister registerApp, unsigned* applId) {
    return registerApp(2, 7, 2048, applId);
}

bool ReadManufacturer(const CapiBase& capi, unsigned char* buffer) {
    return capi.CAPI_GET_MANUFACTURER(0, buffer) != nullptr;
}

void ReadVersion(const CapiBase& capi, uint32_t version[4]) {
    unsigned char buffer[256] = {};
    if (capi.CAPI_GET_VERSION(0, buffer)) std::memcpy(version, buffer, 4 * sizeof(uint32_t));
}

} // namespace capi_platform
