// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// Application ids that no other simulated line on this machine hands out at the same time.
// libcapi20 keeps id -> socket in machine-wide shared memory keyed by the id alone, so two
// clients given the same id by different lines would corrupt each other. A claim is an
// exclusive flock on a small file per id; the kernel drops it when the holder dies, so a
// killed line leaves nothing stale behind.
class AppIdClaims {
public:
    static constexpr int kMaxId = 1023;

    explicit AppIdClaims(int firstId);
    ~AppIdClaims();
    AppIdClaims(const AppIdClaims&) = delete;
    AppIdClaims& operator=(const AppIdClaims&) = delete;

    // A free id in 1..1023, or 0 when every id is taken.
    int Claim();
    void Free(int id);

private:
    std::string dir_;
    int next_;
    int fds_[kMaxId + 1];
};
