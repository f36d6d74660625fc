// SPDX-License-Identifier: GPL-3.0-or-later
#include "CapiBase.h"

#include "CapiMessages.h"
#include "platform/ErrorBox.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <dlfcn.h>
#include <sys/time.h>
#endif

bool bCapiActive = false;
char szCapiManufacturer[80] = {};
char szCapiVersion[44] = {};

namespace {

#ifdef _WIN32
void* OpenLibrary(const char* name) {
    return reinterpret_cast<void*>(LoadLibraryA(name));
}
void* Symbol(void* lib, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(lib), name));
}
void CloseLibrary(void* lib) {
    FreeLibrary(static_cast<HMODULE>(lib));
}
#else
// RTLD_NODELETE: libcapi20 sets up machine-wide shared memory in its constructor and loads
// plug-ins of its own; it must not be torn down and set up again within one process.
void* OpenLibrary(const char* name) {
    return dlopen(name, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
}
void* Symbol(void* lib, const char* name) {
    return dlsym(lib, name);
}
void CloseLibrary(void* lib) {
    dlclose(lib);
}
#endif

template <typename Fn> void Bind(void* lib, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(Symbol(lib, name));
}

void ShowCapiError(const char* label, unsigned code) {
    char text[64];
    std::snprintf(text, sizeof text, "%s\nCode:%x", label, code);
    cb::ShowErrorBox(text);
}

} // namespace

CapiBase::CapiBase(const char* libraryName) {
    hCapiDll = libraryName ? OpenLibrary(libraryName) : nullptr;
    if (!hCapiDll) return;
#ifdef _WIN32
    Bind(hCapiDll, "CAPI_REGISTER", CAPI_REGISTER);
    Bind(hCapiDll, "CAPI_RELEASE", CAPI_RELEASE);
    Bind(hCapiDll, "CAPI_PUT_MESSAGE", CAPI_PUT_MESSAGE);
    Bind(hCapiDll, "CAPI_GET_MESSAGE", CAPI_GET_MESSAGE);
    Bind(hCapiDll, "CAPI_WAIT_FOR_SIGNAL", CAPI_WAIT_FOR_SIGNAL);
    Bind(hCapiDll, "CAPI_GET_MANUFACTURER", CAPI_GET_MANUFACTURER);
    Bind(hCapiDll, "CAPI_GET_VERSION", CAPI_GET_VERSION);
    Bind(hCapiDll, "CAPI_GET_SERIAL_NUMBER", CAPI_GET_SERIAL_NUMBER);
    Bind(hCapiDll, "CAPI_GET_PROFILE", CAPI_GET_PROFILE);
    Bind(hCapiDll, "CAPI_INSTALLED", CAPI_INSTALLED);
#else
    Bind(hCapiDll, "capi20_register", CAPI_REGISTER);
    Bind(hCapiDll, "capi20_release", CAPI_RELEASE);
    Bind(hCapiDll, "capi20_put_message", CAPI_PUT_MESSAGE);
    Bind(hCapiDll, "capi20_get_message", CAPI_GET_MESSAGE);
    Bind(hCapiDll, "capi20_waitformessage", CAPI_WAIT_FOR_SIGNAL);
    Bind(hCapiDll, "capi20_get_manufacturer", CAPI_GET_MANUFACTURER);
    Bind(hCapiDll, "capi20_get_version", CAPI_GET_VERSION);
    Bind(hCapiDll, "capi20_get_serial_number", CAPI_GET_SERIAL_NUMBER);
    Bind(hCapiDll, "capi20_get_profile", CAPI_GET_PROFILE);
    Bind(hCapiDll, "capi20_isinstalled", CAPI_INSTALLED);
    Bind(hCapiDll, "capi20_fileno", CAPI_FILENO);
#endif
    bAvailable = CAPI_REGISTER && CAPI_RELEASE && CAPI_PUT_MESSAGE && CAPI_GET_MESSAGE &&
                 CAPI_WAIT_FOR_SIGNAL && CAPI_GET_MANUFACTURER && CAPI_GET_VERSION &&
                 CAPI_GET_SERIAL_NUMBER && CAPI_GET_PROFILE && CAPI_INSTALLED;
    bLoaded = bAvailable;
#ifndef _WIN32
    if (bAvailable) {
        // The library sends without MSG_NOSIGNAL: a line that went away would otherwise kill
        // the program on its next put.
        std::signal(SIGPIPE, SIG_IGN);
        // libcapi20 is installed on every workstation, ISDN or not. Without a reachable
        // device it stands for a missing driver, as a missing capi2032.dll does on Windows;
        // the library stays loaded for a line that comes up later.
        if (CAPI_INSTALLED() != 0) bAvailable = false;
    }
#endif
    if (!bLoaded) Unload();
}

CapiBase::~CapiBase() {
    Release();
    Unload();
}

void CapiBase::Unload() {
    if (hCapiDll) CloseLibrary(hCapiDll);
    hCapiDll = nullptr;
    bAvailable = false;
    bLoaded = false;
    CAPI_REGISTER = nullptr;
    CAPI_RELEASE = nullptr;
    CAPI_PUT_MESSAGE = nullptr;
    CAPI_GET_MESSAGE = nullptr;
    CAPI_WAIT_FOR_SIGNAL = nullptr;
    CAPI_GET_MANUFACTURER = nullptr;
    CAPI_GET_VERSION = nullptr;
    CAPI_GET_SERIAL_NUMBER = nullptr;
    CAPI_GET_PROFILE = nullptr;
    CAPI_INSTALLED = nullptr;
#ifndef _WIN32
    CAPI_FILENO = nullptr;
#endif
}

void CapiBase::Release() {
    if (!bRegistered) return;
    bRegistered = false;
    CAPI_RELEASE(dwApplId);
}

unsigned CapiBase::GetMessageNonBlocking(const uint8_t** msg) {
    if (!msg) return kErrIllegalMessage;
    *msg = nullptr;
    if (!bAvailable || !bRegistered) return kErrIllegalApplId;
#ifdef _WIN32
    void* p = nullptr;
    unsigned rc = CAPI_GET_MESSAGE(dwApplId, &p); // returns at once on an empty queue
#else
    // capi20_get_message blocks on an empty queue of a remote line: ask first.
    timeval noWait{0, 0};
    unsigned rc = CAPI_WAIT_FOR_SIGNAL(dwApplId, &noWait);
    if (rc != 0) return rc;
    unsigned char* p = nullptr;
    rc = CAPI_GET_MESSAGE(dwApplId, &p);
    // Readable but empty: the line closed the connection (end of stream reads as readable).
    if (rc == kErrQueueEmpty) return kErrOsResource;
#endif
    if (rc != 0) return rc;
    if (!p) return kErrQueueEmpty;
    *msg = static_cast<const uint8_t*>(p);
    return 0;
}

unsigned CapiBase::PutMessage(const uint8_t* msg) {
    if (!bAvailable || !bRegistered) return kErrIllegalApplId;
    if (!msg) return kErrIllegalMessage;
    const size_t length = static_cast<size_t>(msg[0] | (msg[1] << 8));
    if (length < 8 || length > kSendBufferSize) return kErrIllegalMessage;
    // The library copies a fixed amount from the pointer, not the message's length.
    unsigned char buffer[kSendBufferSize] = {};
    std::memcpy(buffer, msg, length);
    return CAPI_PUT_MESSAGE(dwApplId, buffer);
}

int CapiBase::Fileno() const {
#ifdef _WIN32
    return -1;
#else
    if (!bRegistered || !CAPI_FILENO) return -1;
    return CAPI_FILENO(dwApplId);
#endif
}

unsigned CapiBase::TryRegister(uint32_t* applId) const {
    *applId = 0;
    if (!bLoaded) return kErrNotInstalled;
#ifndef _WIN32
    if (const unsigned rc = CAPI_INSTALLED()) return rc;
#endif
    unsigned id = 0;
#ifdef _WIN32
    const unsigned rc = CAPI_REGISTER(3072, 2, 7, 2048, &id);
#else
    const unsigned rc = CAPI_REGISTER(2, 7, 2048, &id);
#endif
    if (rc == 0) *applId = id;
    return rc;
}

unsigned CapiBase::SendAlertReq(uint32_t dwPlci) {
    return PutMessage(BuildAlertReq(dwApplId, dwPlci).data());
}

unsigned CapiBase::SendDisconnectResp(uint32_t dwPlci) {
    return PutMessage(BuildDisconnectResp(dwApplId, dwPlci).data());
}

namespace {

// The manufacturer and version texts of the info dialog.
void ReadIdentity(CapiBase& capi) {
    // Generous, zeroed scratch buffers: a library may write an unterminated text or more
    // than the standard's sizes; only a terminated text of at most 79 characters is kept.
    unsigned char scratch[256] = {};
#ifdef _WIN32
    capi.CAPI_GET_MANUFACTURER(reinterpret_cast<char*>(scratch));
    const bool gotManufacturer = true;
#else
    const bool gotManufacturer = capi.CAPI_GET_MANUFACTURER(0, scratch) != nullptr;
#endif
    if (gotManufacturer) {
        const size_t n =
            strnlen(reinterpret_cast<const char*>(scratch), sizeof szCapiManufacturer - 1);
        std::memcpy(szCapiManufacturer, scratch, n);
        szCapiManufacturer[n] = '\0';
    }

    uint32_t version[4] = {0, 0, 0, 0};
#ifdef _WIN32
    unsigned v[4] = {0, 0, 0, 0};
    capi.CAPI_GET_VERSION(&v[0], &v[1], &v[2], &v[3]);
    for (int i = 0; i < 4; ++i)
        version[i] = v[i];
#else
    std::memset(scratch, 0, sizeof scratch);
    if (capi.CAPI_GET_VERSION(0, scratch)) std::memcpy(version, scratch, sizeof version);
#endif
    char text[64]; // room for four 10-digit values; the 44-byte text keeps what fits
    std::snprintf(text, sizeof text, "%ld.%2.2ld / %ld.%2.2ld", static_cast<long>(version[0]),
                  static_cast<long>(version[1]), static_cast<long>(version[2]),
                  static_cast<long>(version[3]));
    const size_t versionLength = strnlen(text, sizeof szCapiVersion - 1);
    std::memcpy(szCapiVersion, text, versionLength);
    szCapiVersion[versionLength] = '\0';
}

} // namespace

bool CapiStartUp(CapiBase& capi) {
    if (!capi.bAvailable) return true;
    bCapiActive = true;
    ReadIdentity(capi);

    unsigned applId = 0;
#ifdef _WIN32
    unsigned rc = capi.CAPI_REGISTER(3072, 2, 7, 2048, &applId);
#else
    unsigned rc = capi.CAPI_REGISTER(2, 7, 2048, &applId);
#endif
    capi.bRegistered = rc == 0;
    if (rc != 0) {
        ShowCapiError("CAPI Register", rc);
        return false;
    }
    capi.dwApplId = applId;

    rc = capi.PutMessage(BuildListenReq(capi.dwApplId).data());
    if (rc != 0) {
        ShowCapiError("CAPI PutMessage", rc);
        return false;
    }
    return true;
}

unsigned CapiAdoptRegistration(CapiBase& capi, uint32_t applId) {
    capi.bAvailable = true;
    bCapiActive = true;
    ReadIdentity(capi);
    capi.dwApplId = applId;
    capi.bRegistered = true;
    const unsigned rc = capi.PutMessage(BuildListenReq(capi.dwApplId).data());
    if (rc != 0) capi.Release();
    return rc;
}

void CapiShutdown(CapiBase& capi) {
    capi.Release();
}

void CapiResetProcessState() {
    bCapiActive = false;
    std::memset(szCapiManufacturer, 0, sizeof szCapiManufacturer);
    std::memset(szCapiVersion, 0, sizeof szCapiVersion);
}
