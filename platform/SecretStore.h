// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace cb {

// The desktop's Secret Service (GNOME Keyring, KeePassXC, KWallet's bridge) through QtKeychain,
// for the passwords of the settings. Each call waits for the service at most kSecretTimeoutMs
// in a local event loop: only at start-up and shutdown, never in the tick.
inline constexpr int kSecretTimeoutMs = 3000;

// True when the session bus has a Secret Service (running or startable). False without a
// session bus: then nothing is asked.
bool SecretServiceAvailable();
// The stored secret of `name`; false when there is none or the service did not answer.
bool ReadSecret(const std::string& name, std::string& value);
// Stores `value` under `name` (an empty value removes it); false when that failed.
bool WriteSecret(const std::string& name, const std::string& value);

} // namespace cb
