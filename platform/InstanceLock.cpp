// SPDX-License-Identifier: GPL-3.0-or-later
#include "InstanceLock.h"

#include <QCryptographicHash>
#include <QString>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace cb {

namespace {

// A folder of this user only: anyone else's folder (or a link) at that name could be used
// to lock the user out or to read the lock's contents.
bool IsOwnFolder(const std::string& folder) {
    struct stat st {};
    return lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::string PrivateTempFolder() {
    const std::string folder = "/tmp/callbeacon-" + std::to_string(getuid());
    mkdir(folder.c_str(), 0700);
    return IsOwnFolder(folder) ? folder : std::string();
}

} // namespace

std::string CanonicalSettingsPath(const std::string& settingsFile) {
    std::error_code ec;
    fs::path path = fs::weakly_canonical(fs::absolute(settingsFile, ec), ec);
    if (ec) path = fs::absolute(settingsFile).lexically_normal();
    return path.string();
}

CInstanceLock::CInstanceLock(const std::string& settingsFile) {
    const std::string canonical = CanonicalSettingsPath(settingsFile);
    const QByteArray key =
        QCryptographicHash::hash(QByteArray::fromStdString(canonical), QCryptographicHash::Sha1)
            .toHex()
            .left(12);
    const std::string name = "callbeacon-" + key.toStdString() + ".lock";

    std::vector<std::string> folders = {fs::path(canonical).parent_path().string()};
    // The runtime folder by the user id, not by XDG_RUNTIME_DIR: a start from a terminal
    // without the variable must find the lock of a start from the desktop.
    const std::string runtime = "/run/user/" + std::to_string(getuid());
    if (IsOwnFolder(runtime)) folders.push_back(runtime);
    if (const std::string temp = PrivateTempFolder(); !temp.empty()) folders.push_back(temp);
    for (const std::string& folder : folders) {
        Place place;
        place.sPath = (fs::path(folder) / name).string();
        place.pLock = std::make_unique<QLockFile>(QString::fromStdString(place.sPath));
        // A running monitor holds the lock for days: never take it over by age, only when the
        // process that wrote it is gone.
        place.pLock->setStaleLockTime(0);
        aPlaces.push_back(std::move(place));
    }
}

CInstanceLock::Result CInstanceLock::TryLock() {
    bool anyTaken = false;
    for (Place& place : aPlaces) {
        if (place.pLock->isLocked()) {
            anyTaken = true;
            continue;
        }
        if (place.pLock->tryLock(0)) {
            anyTaken = true;
        } else if (place.pLock->error() == QLockFile::LockFailedError) {
            for (Place& taken : aPlaces)
                if (taken.pLock->isLocked()) taken.pLock->unlock();
            return Result::HeldByAnother;
        }
    }
    return anyTaken ? Result::Acquired : Result::Unavailable;
}

std::vector<std::string> CInstanceLock::Paths() const {
    std::vector<std::string> paths;
    for (const Place& place : aPlaces)
        paths.push_back(place.sPath);
    return paths;
}

std::string CInstanceLock::FailureText() const {
    std::string folders;
    for (const Place& place : aPlaces)
        folders += (folders.empty() ? "" : ", ") + fs::path(place.sPath).parent_path().string();
    return "CallBeacon startet nicht: die Sperrdatei, die einen zweiten Start mit denselben "
           "Einstellungen verhindert, lässt sich nicht anlegen (versucht: " +
           folders + "). Bitte Schreibrechte für einen dieser Ordner geben.";
}

} // namespace cb
