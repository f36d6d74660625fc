// SPDX-License-Identifier: GPL-3.0-or-later
#include "AtomicFile.h"

#include "FileNames.h"
#include "FileProperties.h"
#include "ScratchFiles.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cb {

namespace {

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Permissions first, while the file is empty; then the content, on the disk before the rename.
bool Fill(int fd, const FileProperties& wanted, const std::string& content) {
    return KeepProperties(fd, wanted) && WriteAll(fd, content) && fsync(fd) == 0;
}

// A scratch file of a process that was killed on a file system without nameless files (a
// SIGKILL gives no chance to remove it): removed by the next write, as it may hold a key.
void RemoveStaleScratchFiles(const std::string& folder, const std::string& target) {
    const std::string prefix = target.substr(target.find_last_of('/') + 1) + ".tmp";
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string digits = name.substr(prefix.size());
        if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(digits));
        if (pid != getpid() && kill(pid, 0) != 0 && errno == ESRCH)
            unlinkat(dirfd(dir), name.c_str(), 0);
    }
    closedir(dir);
}

} // namespace

bool ReplaceFileContent(const std::string& path, const std::string& content, bool ownerOnly) {
    const std::string target = ReplacementTarget(path);
    const FileProperties old = PropertiesOf(target);
    // Refuse to replace what the user protected (the rename alone would not be stopped).
    if (IsWriteProtected(old)) return false;
    FileProperties wanted = old;
    if (ownerOnly) wanted.iMode = (old.bExisted ? old.iMode & 0700 : 0) | 0600;
    // 0600 for a first file with a secret; otherwise the umask decides, as for any new file.
    const mode_t createMode = ownerOnly || old.bExisted ? 0600 : 0666;

    std::string folder = FolderOf(target);
    if (folder.empty()) folder = ".";
    const std::string scratch = target + ".tmp" + std::to_string(getpid());
    RemoveStaleScratchFiles(folder, target);

    // Nameless while it is written: an end at any moment leaves nothing behind.
    if (const int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, createMode);
        fd >= 0) {
        const bool filled = Fill(fd, wanted, content);
        bool linked = false;
        if (filled) {
            // Named only now, just before the rename.
            NoteScratchFile(scratch);
            unlink(scratch.c_str()); // left by an earlier process of this id
            const std::string self = "/proc/self/fd/" + std::to_string(fd);
            linked =
                linkat(AT_FDCWD, self.c_str(), AT_FDCWD, scratch.c_str(), AT_SYMLINK_FOLLOW) == 0;
        }
        const bool closed = close(fd) == 0;
        if (linked) {
            const bool ok = closed && std::rename(scratch.c_str(), target.c_str()) == 0;
            if (!ok) unlink(scratch.c_str());
            ForgetScratchFile(scratch);
            return ok;
        }
        ForgetScratchFile(scratch);
        if (!filled) return false; // the disk is full or failing: a name would not help
        // No /proc to give it a name: once more with a named scratch file.
    }

    // A file system without nameless files (some network shares): a named scratch file that a
    // forced end removes.
    NoteScratchFile(scratch);
    unlink(scratch.c_str());
    const int fd =
        open(scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, createMode);
    bool ok = fd >= 0 && Fill(fd, wanted, content);
    if (fd >= 0) ok = close(fd) == 0 && ok;
    ok = ok && std::rename(scratch.c_str(), target.c_str()) == 0;
    if (!ok && fd >= 0) unlink(scratch.c_str());
    ForgetScratchFile(scratch);
    return ok;
}

} // namespace cb
