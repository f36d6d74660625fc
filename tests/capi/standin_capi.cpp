// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for libcapi20 with the same entry points, for the tests of loading and start-up.
// Built twice: complete, and without capi20_get_profile. Behaves like the real library where
// it matters: put reads 2173 bytes from the pointer, whatever the message's length.
#include <cstdint>
#include <cstring>

struct timeval;

namespace {
unsigned g_installed = 0;
unsigned g_registerResult = 0;
unsigned g_putResult = 0;
unsigned g_releases = 0;
unsigned g_gets = 0;
bool g_messageWaiting = false;
unsigned char g_lastPut[64];
unsigned char g_message[16] = {0x0e, 0x00, 0x05, 0x00, 0x05, 0x81, 0x01,
                               0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00};
} // namespace

extern "C" {

__attribute__((visibility("default"))) unsigned capi20_isinstalled() {
    return g_installed;
}

__attribute__((visibility("default"))) unsigned capi20_register(unsigned, unsigned, unsigned,
                                                                unsigned* applId) {
    *applId = g_registerResult ? 0 : 5;
    return g_registerResult;
}

__attribute__((visibility("default"))) unsigned capi20_release(unsigned) {
    ++g_releases;
    return g_releases == 1 ? 0 : 0x1101;
}

__attribute__((visibility("default"))) unsigned capi20_put_message(unsigned, unsigned char* msg) {
    unsigned char copy[2173];
    std::memcpy(copy, msg, sizeof copy);
    std::memcpy(g_lastPut, copy, sizeof g_lastPut);
    return g_putResult;
}

__attribute__((visibility("default"))) unsigned capi20_get_message(unsigned, unsigned char** msg) {
    ++g_gets;
    if (!g_messageWaiting) return 0x1104; // the real one would block here
    g_messageWaiting = false;
    *msg = g_message;
    return 0;
}

__attribute__((visibility("default"))) unsigned capi20_waitformessage(unsigned, timeval*) {
    return g_messageWaiting ? 0 : 0x1104;
}

// 80 letters and no terminating zero.
__attribute__((visibility("default"))) unsigned char* capi20_get_manufacturer(unsigned,
                                                                              unsigned char* buf) {
    std::memset(buf, 'M', 80);
    return buf;
}

// The largest values there are: the text would be longer than its buffer.
__attribute__((visibility("default"))) unsigned char* capi20_get_version(unsigned,
                                                                         unsigned char* buf) {
    std::memset(buf, 0xff, 16);
    return buf;
}

__attribute__((visibility("default"))) unsigned char* capi20_get_serial_number(unsigned,
                                                                               unsigned char* buf) {
    std::memcpy(buf, "0815", 5);
    return buf;
}

#ifndef CB_STANDIN_WITHOUT_PROFILE
__attribute__((visibility("default"))) unsigned capi20_get_profile(unsigned, unsigned char*) {
    return 0;
}
#endif

// Control and inspection by the tests.
__attribute__((visibility("default"))) void
standin_setup(unsigned installed, unsigned registerResult, unsigned putResult) {
    g_installed = installed;
    g_registerResult = registerResult;
    g_putResult = putResult;
    g_releases = 0;
    g_gets = 0;
    g_messageWaiting = false;
    std::memset(g_lastPut, 0, sizeof g_lastPut);
}
__attribute__((visibility("default"))) void standin_queue_message() {
    g_messageWaiting = true;
}
__attribute__((visibility("default"))) unsigned standin_releases() {
    return g_releases;
}
__attribute__((visibility("default"))) unsigned standin_gets() {
    return g_gets;
}
__attribute__((visibility("default"))) const unsigned char* standin_last_put() {
    return g_lastPut;
}
}
