// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The CAPI 2.0 messages the program sends and reads. Integers are little-endian; every message
// starts with the 8-byte header: total length, application id, command, subcommand, number.

// Command word of a received message: command in the low byte, subcommand in the high byte.
constexpr uint16_t CAPI_CONNECT_IND = 0x8202;
constexpr uint16_t CAPI_DISCONNECT_IND = 0x8204;
constexpr uint16_t CAPI_LISTEN_CONF = 0x8105;
constexpr uint16_t CAPI_ALERT_CONF = 0x8101;

// The one Reason acted on: another terminal on the line has taken the call.
constexpr uint16_t CAPI_REASON_NON_SELECTED_USER_CLEARING = 0x349A;

constexpr size_t kListenReqLength = 26;
constexpr size_t kAlertReqLength = 13;
constexpr size_t kDisconnectRespLength = 12;

// Each carries message number 1 and the low 16 bits of the application id.
std::array<uint8_t, kListenReqLength> BuildListenReq(uint32_t dwApplId);
std::array<uint8_t, kAlertReqLength> BuildAlertReq(uint32_t dwApplId, uint32_t dwPlci);
std::array<uint8_t, kDisconnectRespLength> BuildDisconnectResp(uint32_t dwApplId, uint32_t dwPlci);

// Needs 6 readable bytes; every received message has them (see CapiBase::kReceiveBufferSize).
uint16_t CommandWord(const uint8_t* msg);

// Texts of at most 39 characters, as the call log and the network message take them.
struct ConnectInd {
    uint32_t dwPlci;
    char szCalled[40];  // the digits as delivered; "" when the structure holds none
    char szCalling[40]; // national form with a leading 0, international with "00"; "0" when none
};

// `available` is how many bytes behind `msg` may be read at all; for a message taken from the
// library pass CapiBase::kReceiveBufferSize. Never reads beyond the smaller of `available` and
// the message's own total length. A number structure whose length byte points past the end
// is cut to the bytes that are there. False (and `out` holding PLCI 0 and both texts "0")
// when the message is not a CONNECT_IND or ends before the Called party number's length byte,
// and also when a number is longer than a telephone number can be (IsPlausibleNumberLength);
// that refusal is written to the trace.
bool DecodeConnectInd(const uint8_t* msg, size_t available, ConnectInd& out);

// False when the message is not a DISCONNECT_IND or ends before the Reason.
bool DecodeDisconnectInd(const uint8_t* msg, size_t available, uint32_t& plci, uint16_t& reason);
