// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <functional>

// The system's keyring for the CardDAV password: the Secret Service through QtKeychain where
// the build has it. Without a keyring (none installed, no session bus, a build without
// QtKeychain) every job reports failure and the password stays in the settings file. Both
// jobs answer on the event loop, never inside the call.
class TPasswordStore : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    static bool Built(); // whether this build can reach a keyring at all

    void Read(const QString& key, std::function<void(bool found, const QString& password)> done);
    void Write(const QString& key, const QString& password,
               std::function<void(bool ok, const QString& error)> done);
};
