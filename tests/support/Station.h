// SPDX-License-Identifier: GPL-3.0-or-later
// A workstation for the whole-program tests: a data folder with its own copy of the program
// (so its settings file is its own), the area-code directory, a phone book naming Anna Meier
// of Berlin at 0301234567, an empty call log, and readers for the call log and the trace.
#pragma once

#include "db/Anruf.h"
#include "db/CBase.h"
#include "db/CallLog.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace cbtest {

// Where the program under test was built: CTest names it; run by hand, ./build.
inline std::string BuildDir() {
    const char* dir = std::getenv("CB_BUILD_DIR");
    return dir ? dir : "build";
}

inline void PrepareStation(const std::filesystem::path& dir) {
    namespace fs = std::filesystem;
    fs::create_directories(dir);
    fs::copy_file(BuildDir() + "/callbeacon", dir / "callbeacon");
    fs::copy_file(BuildDir() + "/Avon.dbf", dir / "Avon.dbf");
    CBase book;
    AddPhoneBookFields(book);
    EXPECT_TRUE(book.Create((dir / kPhoneBookFile).string()));
    book.PutField("NAME", "Meier");
    book.PutField("VORNAME", "Anna");
    book.PutField("TELEFON", "0301234567");
    book.PutField("ORT", "Berlin");
    EXPECT_EQ(book.Append(), 1);
    book.Close();
    CBase log;
    AddCallLogFields(log);
    EXPECT_TRUE(log.Create((dir / kCallLogFile).string()));
}

struct LogRow {
    std::string zeit, anrufer, gerufener, ang;
    bool deleted;
};

inline std::vector<LogRow> ReadLog(const std::filesystem::path& folder) {
    CBase log;
    std::vector<LogRow> rows;
    if (!log.Open((folder / kCallLogFile).string())) return rows;
    for (uint32_t i = 0; i < log.RecCount(); ++i) {
        const int state = log.GoTo(i);
        rows.push_back({log.GetField("ZEIT"), log.GetField("ANRUFER"), log.GetField("GERUFENER"),
                        log.GetField("ANG", false), state == 0});
    }
    return rows;
}

// How often `needle` occurs in the trace file of a station.
inline int CountInTrace(const std::filesystem::path& dir, const std::string& needle) {
    const std::string t = ReadWholeFile((dir / "trace.txt").string());
    int n = 0;
    for (size_t p = t.find(needle); p != std::string::npos; p = t.find(needle, p + 1))
        ++n;
    return n;
}

} // namespace cbtest
