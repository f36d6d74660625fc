// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The wire protocol of libcapi20's "fritzbox" remote-CAPI plug-in, seen from the line's side,
// and the CAPI 2.0 messages the simulated line sends.
namespace line {

// Frames in both directions: type byte 0x80, 16-bit length, payload. The library's stack
// buffer for an incoming frame is 4096 bytes.
constexpr size_t kFrameHeader = 3;
constexpr size_t kMaxFramePayload = 4096;

// Management frames from the library: CAPI-shaped, command 0x20 / subcommand 0x80, with a
// function word at payload offset 11.
enum class Management { None, Register, Release, GetProfile, Other };
Management ClassifyManagement(const uint8_t* payload, size_t length);

// Reply to REGISTER and GET_PROFILE: the library reads these with a 2-byte header (type,
// 8-bit length) and one recv of exactly that many bytes.
std::string RegisterReply(const uint8_t* request, size_t length, uint16_t applId, uint16_t info);
std::string ProfileReply(const uint8_t* request, size_t length);

// A CAPI message behind the ordinary 3-byte header.
std::string Frame(const std::string& message);

// Numbers as the exchange delivers them; empty means no number structure at all.
std::string ConnectInd(uint16_t msgNumber, uint32_t plci, std::string_view called,
                       std::string_view calling);
std::string DisconnectInd(uint16_t msgNumber, uint32_t plci, uint16_t reason);
std::string ListenConf(const uint8_t* req, size_t length);
std::string AlertConf(const uint8_t* req, size_t length);

// The event line for a CAPI message from the program ("recv ALERT_REQ plci=0x0101"), and
// whether it wants a CONF (set to the reply frame's message, else left empty).
std::string Describe(const uint8_t* msg, size_t length, std::string& reply);

uint16_t Get16(const uint8_t* p);
uint32_t Get32(const uint8_t* p);

} // namespace line
