// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capi/CapiBase.h"

#include <cstdint>

// The platform's half of the CAPI access: loading the driver library and the calls whose
// signatures differ between the Windows DLL and libcapi20. Exactly one of CapiBase_win.cpp
// and CapiBase_posix.cpp is built.
namespace capi_platform {

extern const char* const kLibraryName;

void* OpenLibrary(const char* name);
void CloseLibrary(void* library);
// Binds the entry points under the platform's names; a missing one stays null.
void BindEntryPoints(CapiBase& capi);
// Whether a device (or a remote line) answers now.
bool DeviceReachable(const CapiBase& capi);
// Takes one message without ever blocking (not named GetMessage: windows.h makes that a macro): 0
// and the message, or the CAPI error (CapiBase::kErrQueueEmpty when none waits, kErrOsResource when
// the line's connection closed).
unsigned TakeMessage(CapiBase& capi, const uint8_t** msg);
// CAPI_REGISTER with this program's sizes: 0 and the id, or the error.
unsigned Register(CapiBase::FnRegister registerApp, unsigned* applId);
// The manufacturer text into a zeroed buffer of 256 bytes; false when the library gives none.
bool ReadManufacturer(const CapiBase& capi, unsigned char* buffer);
// The four version numbers; left as they are when the library gives none.
void ReadVersion(const CapiBase& capi, uint32_t version[4]);

} // namespace capi_platform
