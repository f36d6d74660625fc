// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

struct timeval;

// Filled once at start-up, read by the info dialog.
extern bool bCapiActive;            // true once start-up found a usable CAPI library
extern char szCapiManufacturer[80]; // e.g. "AVM Berlin"; empty without CAPI
extern char szCapiVersion[44];      // e.g. "2.00 / 0.05"; empty without CAPI

// The CAPI 2.0 driver library, loaded at run time so the program also runs where there is
// none. Exactly one exists, owned by the main window.
class CapiBase {
public:
    // The driver library of the platform: capi2032.dll on Windows, libcapi20.so.3 elsewhere.
    static const char* const kDefaultLibrary;
    // libcapi20 reads this many bytes from every message pointer, whatever the message length.
    static constexpr size_t kSendBufferSize = 2176;
    // A received message lives in a buffer of this size (our registration's B3 block length
    // 2048 plus 128); longer messages arrive cut. Pass it to the decoders as `available`.
    static constexpr size_t kReceiveBufferSize = 2176;

    static constexpr unsigned kErrIllegalApplId = 0x1101;
    static constexpr unsigned kErrIllegalMessage = 0x1102;
    static constexpr unsigned kErrQueueEmpty = 0x1104;
    // The OS failed underneath the library; a line whose connection is gone answers so.
    static constexpr unsigned kErrOsResource = 0x1108;
    static constexpr unsigned kErrNotInstalled = 0x1009;

#ifdef _WIN32
    using FnRegister = unsigned(__stdcall*)(unsigned, unsigned, unsigned, unsigned, unsigned*);
    using FnRelease = unsigned(__stdcall*)(unsigned);
    using FnPutMessage = unsigned(__stdcall*)(unsigned, void*);
    using FnGetMessage = unsigned(__stdcall*)(unsigned, void**);
    using FnWaitForSignal = unsigned(__stdcall*)(unsigned);
    using FnGetManufacturer = unsigned(__stdcall*)(char*);
    using FnGetVersion = unsigned(__stdcall*)(unsigned*, unsigned*, unsigned*, unsigned*);
    using FnGetSerialNumber = unsigned(__stdcall*)(char*);
    using FnGetProfile = unsigned(__stdcall*)(void*, unsigned);
    using FnInstalled = unsigned(__stdcall*)();
#else
    using FnRegister = unsigned (*)(unsigned maxLogicalConnection, unsigned maxBDataBlocks,
                                    unsigned maxBDataLen, unsigned* applId);
    using FnRelease = unsigned (*)(unsigned applId);
    using FnPutMessage = unsigned (*)(unsigned applId, unsigned char* msg);
    using FnGetMessage = unsigned (*)(unsigned applId, unsigned char** msg);
    using FnWaitForSignal = unsigned (*)(unsigned applId, struct timeval* timeout);
    using FnGetManufacturer = unsigned char* (*)(unsigned controller, unsigned char* buf);
    using FnGetVersion = unsigned char* (*)(unsigned controller, unsigned char* buf);
    using FnGetSerialNumber = unsigned char* (*)(unsigned controller, unsigned char* buf);
    using FnGetProfile = unsigned (*)(unsigned controller, unsigned char* buf);
    using FnInstalled = unsigned (*)();
#endif
    // libcapi20's descriptor of a registration; the Windows DLL has none (stays null there).
    using FnFileno = int (*)(unsigned applId);

    // Loads the library and binds the ten entry points. Missing library, missing name or no
    // reachable CAPI device leave bAvailable false; nothing is reported. A library that loaded
    // but found no device stays loaded (bLoaded) so that the line can be tried again later.
    explicit CapiBase(const char* libraryName = kDefaultLibrary);
    // Releases a registration still held, then unloads the library.
    ~CapiBase();
    CapiBase(const CapiBase&) = delete;
    CapiBase& operator=(const CapiBase&) = delete;

    // Takes one message off the queue without ever blocking. 0 and *msg pointing at a message
    // of at most kReceiveBufferSize bytes, valid until the next call; otherwise the CAPI error:
    // kErrQueueEmpty when nothing is waiting, kErrOsResource when the connection to the line
    // has closed (readable, yet no message: the end of the stream).
    unsigned GetMessageNonBlocking(const uint8_t** msg);
    // Sends the message (its length from its first two bytes) from a buffer of
    // kSendBufferSize bytes. 0 on success, else the CAPI error.
    unsigned PutMessage(const uint8_t* msg);
    unsigned SendAlertReq(uint32_t dwPlci);
    unsigned SendDisconnectResp(uint32_t dwPlci);
    // CAPI_RELEASE when registered; safe to call any number of times.
    void Release();
    // The descriptor that becomes readable when a message waits, or -1 where the library
    // does not tell (then the queue is polled).
    int Fileno() const;
    // CAPI_REGISTER through the given entry point with this program's sizes: 0 and the id, or
    // the CAPI error. May block for as long as the line takes to answer; it touches no object,
    // so a thread of its own can run it with a copy of the entry point.
    static unsigned Register(FnRegister registerApp, unsigned* applId);

    bool bLoaded = false; // library and entry points present, device or not
    bool bAvailable = false;
    bool bRegistered = false;
    void* hCapiDll = nullptr;
    uint32_t dwApplId = 0;

    FnRegister CAPI_REGISTER = nullptr;
    FnRelease CAPI_RELEASE = nullptr;
    FnPutMessage CAPI_PUT_MESSAGE = nullptr;
    FnGetMessage CAPI_GET_MESSAGE = nullptr;
    FnWaitForSignal CAPI_WAIT_FOR_SIGNAL = nullptr;
    FnGetManufacturer CAPI_GET_MANUFACTURER = nullptr;
    FnGetVersion CAPI_GET_VERSION = nullptr;
    FnGetSerialNumber CAPI_GET_SERIAL_NUMBER = nullptr;
    FnGetProfile CAPI_GET_PROFILE = nullptr;
    FnInstalled CAPI_INSTALLED = nullptr;
    FnFileno CAPI_FILENO = nullptr; // optional: not every library has it

private:
    void Unload();
};

// Start-up: manufacturer and version texts, registration, listen request. False when the
// program must quit; the error box ("CAPI Register" / "CAPI PutMessage") has then been shown.
// True otherwise, also when there is no CAPI at all (silently).
bool CapiStartUp(CapiBase& capi);
// The error box of a failed CAPI call: the call's name and the code in hex.
void ShowCapiError(const char* label, unsigned code);
// Completes a registration won by Register (a line that came back): keeps the id, reads
// the manufacturer and version texts, sends LISTEN_REQ. 0, or the CAPI error of the listen
// request (the registration is then released again). Shows no box.
unsigned CapiAdoptRegistration(CapiBase& capi, uint32_t applId);
// Shutdown: releases the registration exactly once.
void CapiShutdown(CapiBase& capi);
// Back to the state at program start: bCapiActive false, texts empty (tests).
void CapiResetProcessState();
