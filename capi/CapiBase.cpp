// SPDX-License-Identifier: GPL-3.0-or-later
#include "CapiBase.h"

#include "CapiMessages.h"
#include "CapiPlatform.h"
#include "platform/ErrorBox.h"

#include <cstdio>
#include <cstring>

bool bCapiActive = false;
char szCapiManufacturer[80] = {};
char szCapiVersion[44] = {};

void ShowCapiError(const char* label, unsigned code) {
    char text[64];
    std::snprintf(text, sizeof text, "%s\nCode:%x", label, code);
    cb::ShowErrorBox(text);
}

const char* const CapiBase::kDefaultLibrary = capi_platform::kLibraryName;

CapiBase::CapiBase(const char* libraryName) {
    hCapiDll = libraryName ? capi_platform::OpenLibrary(libraryName) : nullptr;
    if (!hCapiDll) return;
    capi_platform::BindEntryPoints(*this);
    bAvailable = CAPI_REGISTER && CAPI_RELEASE && CAPI_PUT_MESSAGE && CAPI_GET_MESSAGE &&
                 CAPI_WAIT_FOR_SIGNAL && CAPI_GET_MANUFACTURER && CAPI_GET_VERSION &&
                 CAPI_GET_SERIAL_NUMBER && CAPI_GET_PROFILE && CAPI_INSTALLED;
    bLoaded = bAvailable;
    // libcapi20 is installed on every workstation, ISDN or not. Without a reachable device
    // it stands for a missing driver, as a missing capi2032.dll does on Windows; the library
    // stays loaded for a line that comes up later.
    if (bAvailable && !capi_platform::DeviceReachable(*this)) bAvailable = false;
    if (!bLoaded) Unload();
}

CapiBase::~CapiBase() {
    Release();
    Unload();
}

void CapiBase::Unload() {
    if (hCapiDll) capi_platform::CloseLibrary(hCapiDll);
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
    CAPI_FILENO = nullptr;
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
    return capi_platform::TakeMessage(*this, msg);
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
    if (!bRegistered || !CAPI_FILENO) return -1;
    return CAPI_FILENO(dwApplId);
}

unsigned CapiBase::Register(FnRegister registerApp, unsigned* applId) {
    return capi_platform::Register(registerApp, applId);
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
    if (capi_platform::ReadManufacturer(capi, scratch)) {
        const size_t n =
            strnlen(reinterpret_cast<const char*>(scratch), sizeof szCapiManufacturer - 1);
        std::memcpy(szCapiManufacturer, scratch, n);
        szCapiManufacturer[n] = '\0';
    }

    uint32_t version[4] = {0, 0, 0, 0};
    capi_platform::ReadVersion(capi, version);
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
    unsigned rc = capi_platform::Register(capi.CAPI_REGISTER, &applId);
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
