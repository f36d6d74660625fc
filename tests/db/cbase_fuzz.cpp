// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a table file: open, read every reachable record and field, search, and
// for some inputs pack.
#include "db/CBase.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// Removed again when the fuzzer exits.
struct ScratchDir {
    std::filesystem::path path;
    ScratchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "fuzz_cbase-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        path = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

const std::filesystem::path& WorkDir() {
    static const ScratchDir dir;
    return dir.path;
}

void Exercise(const uint8_t* data, size_t size);

// Pack's scratch table lands in the current directory; libFuzzer reads its corpus by
// relative paths, so the folder is entered only for the run.
struct EnterWorkDir {
    std::filesystem::path previous = std::filesystem::current_path();
    EnterWorkDir() { std::filesystem::current_path(WorkDir()); }
    ~EnterWorkDir() { std::filesystem::current_path(previous); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EnterWorkDir enter;
    Exercise(data, size);
    return 0;
}

namespace {

void Exercise(const uint8_t* data, size_t size) {
    const std::string file = (WorkDir() / "fuzz.dbf").string();
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return;
    }

    CBase db;
    if (size > 0 && (data[size - 1] & 1)) db.SetKey("Schl\xfcssel");
    if (size % 11 == 3) {
        // Reading only: every change is refused, the file stays as it is.
        if (!db.OpenForReading(file)) return;
        for (int64_t i = 0; i < db.RecCount() && i < 5000; ++i)
            db.GoTo(i);
        db.Write();
        db.Append();
        (void)CBase::IsDamage(db.LastError());
        return;
    }
    if (!db.Open(file)) return;
    db.SkipDeleted(size % 3 == 0);

    const int64_t count = db.RecCount();
    const int64_t limit = count < 5000 ? count : 5000;
    std::string sink;
    for (int64_t i = -1; i <= limit; ++i) {
        db.GoTo(i);
        for (int f = 0; f <= db.FieldCount(); ++f)
            sink += db.GetField(db.FieldName(f));
    }
    db.GoTo(count - 1);
    db.GoTo(count);

    std::string first = db.FieldName(0);
    std::string value = db.GetField(first, size % 2 == 0);
    for (int mode = 0; mode <= 5; ++mode)
        db.Find(first, value.substr(0, size_t(mode) * 3), mode);
    db.Find("NICHTDA", "x", 0);

    db.PutField(first, "Fuzz");
    if (size % 5 == 0) db.Append();
    // Changes re-read the header under the lock: the count may have changed since Open.
    if (size % 4 == 1) db.Write();
    if (size % 6 == 1) db.Recall(count - 1);
    (void)CBase::IsDamage(db.LastError());
    if (size % 7 == 0 && count < 20000) db.Pack();
    volatile size_t keep = sink.size();
    (void)keep;
}

} // namespace
