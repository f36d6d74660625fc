// SPDX-License-Identifier: GPL-3.0-or-later
// The system's mailslots.
#include "net/Mail.h"

#include <windows.h>

#include <cassert>
#include <vector>

namespace {

constexpr const char* kDefaultSlotName = "Standard";
// Every machine of the domain or workgroup, and this machine; 13 characters each.
constexpr const char* kDomainSlotPrefix = "\\\\*\\mailslot\\";
constexpr const char* kLocalSlotPrefix = "\\\\.\\mailslot\\";

const char* SlotNameOrDefault(const char* name) {
    return name ? name : kDefaultSlotName;
}

bool IsOpen(void* h) {
    return h != nullptr && h != INVALID_HANDLE_VALUE;
}

} // namespace

TMailServer::TMailServer(const char* name) {
    OpenSlot(name);
}

TMailServer::~TMailServer() {
    CloseSlot();
}

bool TMailServer::OpenSlot(const char* name) {
    CloseSlot();
    name = SlotNameOrDefault(name);
    sSlotName = name;
    if (sSlotName.size() > MAX_SLOT_NAME_LENGTH) return false;
    const std::string path = kDomainSlotPrefix + sSlotName;
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!IsOpen(h)) {
        hSlot = nullptr;
        return false;
    }
    hSlot = h;
    return true;
}

bool TMailServer::CloseSlot() {
    if (!hSlot) return false;
    ::CloseHandle(hSlot);
    hSlot = nullptr;
    iRetryDelay = 200;
    sSlotName.clear();
    return true;
}

void TMailServer::WriteBlock(const void* buffer, uint32_t iBytes) {
    // The assertion's text is the system's own, as it stands.
    // clang-format off
    assert(iBytes<=MAX_MESSAGE_SIZE);
    // clang-format on
    if (iBytes > MAX_MESSAGE_SIZE) return;
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD written = 0;
        if (IsOpen(hSlot) && ::WriteFile(hSlot, buffer, iBytes, &written, nullptr)) return;
        ::Sleep(static_cast<DWORD>(iRetryDelay > 0 ? iRetryDelay : 0));
    }
}

TMailClient::TMailClient(const char* name) {
    OpenSlot(name);
}

TMailClient::~TMailClient() {
    CloseSlot();
}

bool TMailClient::OpenSlot(const char* name) {
    CloseSlot();
    name = SlotNameOrDefault(name);
    sSlotName = name;
    if (sSlotName.size() > MAX_SLOT_NAME_LENGTH) return false;
    const std::string path = kLocalSlotPrefix + sSlotName;
    HANDLE h = ::CreateMailslotA(path.c_str(), MAX_SLOT_MESSAGE_SIZE, 0, nullptr);
    if (!IsOpen(h)) {
        hSlot = nullptr;
        return false;
    }
    hSlot = h;
    return true;
}

bool TMailClient::CloseSlot() {
    if (!hSlot) return false;
    ::CloseHandle(hSlot);
    hSlot = nullptr;
    sSlotName.clear();
    return true;
}

bool TMailClient::ReadMessage(char* buffer, uint32_t size, uint32_t* pdwRead) {
    if (!IsOpen(hSlot)) return false;
    // A message too long for the buffer would stay at the head of the slot for ever (the read
    // fails and leaves it there), so it is read away and the next one looked at.
    for (int skipped = 0; skipped < 64; ++skipped) {
        DWORD next = 0, waiting = 0;
        if (!::GetMailslotInfo(hSlot, nullptr, &next, &waiting, nullptr)) return false;
        if (next == MAILSLOT_NO_MESSAGE || waiting == 0) return false;
        DWORD read = 0;
        if (next > size) {
            std::vector<char> discard(next);
            if (!::ReadFile(hSlot, discard.data(), next, &read, nullptr)) return false;
            continue;
        }
        if (!::ReadFile(hSlot, buffer, size, &read, nullptr)) return false;
        if (pdwRead) *pdwRead = read;
        return true;
    }
    return false;
}
