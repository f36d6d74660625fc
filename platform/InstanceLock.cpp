// SPDX-License-Identifier: GPL-3.0-or-later
#include "InstanceLock.h"

#include <QCryptographicHash>
#include <QString>

#include <cstdlib>
#include <filesystem>

namespace cb {

CInstanceLock::CInstanceLock(const std::string& fallbackFolder, const std::string& settingsFile) {
    namespace fs = std::filesystem;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code ec;
    const fs::path folder = runtime && runtime[0] == '/' && fs::is_directory(runtime, ec)
                                ? fs::path(runtime)
                                : fs::path(fallbackFolder);
    const QByteArray key =
        QCryptographicHash::hash(QByteArray::fromStdString(settingsFile), QCryptographicHash::Sha1)
            .toHex()
            .left(12);
    sPath = (folder / ("callbeacon-" + key.toStdString() + ".lock")).string();
    pLock = std::make_unique<QLockFile>(QString::fromStdString(sPath));
    // A running monitor holds the lock for days: never take it over by age, only when the
    // process that wrote it is gone.
    pLock->setStaleLockTime(0);
}

CInstanceLock::Result CInstanceLock::TryLock() {
    if (pLock->tryLock(0)) return Result::Acquired;
    return pLock->error() == QLockFile::LockFailedError ? Result::HeldByAnother
                                                        : Result::Unavailable;
}

} // namespace cb
