// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLockFile>

#include <memory>
#include <string>

namespace cb {

// One running program per user: a lock file in $XDG_RUNTIME_DIR, else in fallbackFolder
// (the user's settings folder). Held until the object is destroyed; a program that died
// leaves a lock the next start recognises as stale.
class CInstanceLock {
public:
    enum class Result { Acquired, HeldByAnother, Unavailable };

    explicit CInstanceLock(const std::string& fallbackFolder);
    Result TryLock();
    std::string Path() const { return sPath; }

private:
    std::string sPath;
    std::unique_ptr<QLockFile> pLock;
};

} // namespace cb
