// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Passwords.h"

#include "core/Settings.h"
#include "platform/SecretStore.h"
#include "platform/Trace.h"

namespace {

// Copies of the program in other folders keep settings of their own: so do their passwords.
std::string SecretName(const SecretSetting& secret) {
    return SettingsFilePath() + ":" + secret.section + "/" + secret.key;
}

} // namespace

void TakeUpPasswords() {
    if (!cb::SecretServiceAvailable()) return;
    for (const SecretSetting& secret : SecretSettings()) {
        if (!secret.value->empty()) {
            const bool moved = cb::WriteSecret(SecretName(secret), *secret.value);
            SetKeptInSecretService(secret.section, secret.key, moved);
            if (moved)
                cb::Trace(std::string("password moved to the Secret Service: ") + secret.section +
                          "/" + secret.key);
            continue;
        }
        std::string stored;
        if (cb::ReadSecret(SecretName(secret), stored) && !stored.empty()) {
            *secret.value = stored;
            SetKeptInSecretService(secret.section, secret.key, true);
        }
    }
}

void KeepPasswords() {
    if (!cb::SecretServiceAvailable()) return;
    for (const SecretSetting& secret : SecretSettings()) {
        const bool kept = cb::WriteSecret(SecretName(secret), *secret.value);
        SetKeptInSecretService(secret.section, secret.key, kept && !secret.value->empty());
    }
}
