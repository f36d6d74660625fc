// SPDX-License-Identifier: GPL-3.0-or-later
// The one builder of test tables, written through the program's own engine and layouts:
// phone books, call logs and area-code directories, and readers for what a test checks.
#pragma once

#include "db/Anruf.h"
#include "db/AreaCodes.h"
#include "db/CBase.h"
#include "db/CallLog.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace cbtest {

struct Entry {
    std::string name{}, telefon{}, vorname{}, strasse{}, plz{}, ort{}, info{}, email{}, fax{},
        apartner{};
    bool deleted = false;
};

inline void CreatePhoneBook(const std::string& file = kPhoneBookFile) {
    CBase t;
    AddPhoneBookFields(t);
    ASSERT_TRUE(t.Create(file));
}

inline void AddEntries(const std::vector<Entry>& entries,
                       const std::string& file = kPhoneBookFile) {
    CBase t;
    ASSERT_TRUE(t.Open(file));
    for (const Entry& e : entries) {
        t.PutField("NAME", e.name);
        t.PutField("TELEFON", e.telefon);
        t.PutField("INFO", e.info);
        t.PutField("VORNAME", e.vorname);
        t.PutField("STRASSE", e.strasse);
        t.PutField("PLZORT", e.plz);
        t.PutField("ORT", e.ort);
        t.PutField("EMAIL", e.email);
        t.PutField("FAX", e.fax);
        t.PutField("APARTNER", e.apartner);
        ASSERT_EQ(t.Append(), 1);
        if (e.deleted) {
            ASSERT_EQ(t.Delete(t.RecCount() - 1), 1);
        }
    }
}

struct Call {
    int64_t zeit;
    std::string anrufer{}, gerufener{}, ang{};
    bool deleted = false;
};

inline void CreateCallLog(const std::string& file = kCallLogFile) {
    CBase t;
    AddCallLogFields(t);
    ASSERT_TRUE(t.Create(file));
}

inline void AddCalls(const std::vector<Call>& calls, const std::string& file = kCallLogFile) {
    CBase t;
    ASSERT_TRUE(t.Open(file));
    for (const Call& c : calls) {
        t.PutField("ZEIT", std::to_string(c.zeit));
        t.PutField("ANRUFER", c.anrufer);
        t.PutField("GERUFENER", c.gerufener);
        t.PutField("ANG", c.ang.empty() ? " " : c.ang);
        ASSERT_EQ(t.Append(), 1);
        if (c.deleted) {
            ASSERT_EQ(t.Delete(t.RecCount() - 1), 1);
        }
    }
}

// 1 active, 0 deleted, -1 missing.
inline int RecordState(const std::string& file, int64_t recNo) {
    CBase t;
    if (!t.Open(file)) return -2;
    return t.GoTo(recNo);
}

inline std::string Field(const std::string& file, int64_t recNo, const char* column) {
    CBase t;
    if (!t.Open(file) || t.GoTo(recNo) < 0) return "<none>";
    return t.GetField(column);
}

inline uint32_t RecordCount(const std::string& file) {
    CBase t;
    return t.Open(file) ? t.RecCount() : 0;
}

} // namespace cbtest

// Shorthands of the table tests: a phone book of names and numbers with filled-in fields.
namespace tabletest {

struct Entry {
    std::string name;
    std::string telefon;
    bool deleted = false;
    std::string ort = "";
};

// A phone book in the current layout, the other fields filled in from the name.
inline void CreatePhoneBook(const std::vector<Entry>& entries) {
    cbtest::CreatePhoneBook();
    std::vector<cbtest::Entry> full;
    for (const Entry& e : entries)
        full.push_back({e.name, e.telefon, "Vorname " + e.name, "Weg 1", "12345",
                        e.ort.empty() ? "Ort" : e.ort, "Info " + e.name, "a@b.de", "0301", "Chef",
                        e.deleted});
    cbtest::AddEntries(full);
}

inline void CreateCallLog() {
    cbtest::CreateCallLog();
}

using AreaRow = std::array<std::string, 5>; // VORWAHL, ORT, PLZ, BREITE, LAENGE

// An area-code directory scrambled with the directory's key, as delivered.
inline void CreateAreaCodes(const std::vector<AreaRow>& rows, bool deleteFirst = false) {
    CBase table;
    const char* names[5] = {"VORWAHL", "ORT", "PLZ", "BREITE", "LAENGE"};
    const int widths[5] = {6, 40, 5, 8, 8};
    for (int i = 0; i < 5; ++i)
        table.AddField(i, names[i], 'C', widths[i], 0);
    ASSERT_TRUE(table.Create(kAreaCodeFile));
    table.SetKey(kAreaCodeKey);
    for (const AreaRow& row : rows) {
        for (int i = 0; i < 5; ++i)
            table.PutField(names[i], row[i]);
        ASSERT_EQ(table.Append(), 1);
    }
    if (deleteFirst) {
        ASSERT_EQ(table.Delete(0), 1);
    }
}

// The directory the build made from the real data.
inline void CopyRealAreaCodes() {
    const char* buildDir = std::getenv("CB_BUILD_DIR");
    ASSERT_NE(buildDir, nullptr);
    std::filesystem::copy_file(std::filesystem::path(buildDir) / kAreaCodeFile, kAreaCodeFile,
                               std::filesystem::copy_options::overwrite_existing);
}

// Runs a script with the system's python3 and its dbf module, an independent dBASE writer.
inline void RunPython(const std::string& script) {
    {
        FILE* f = std::fopen("writer.py", "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("import dbf\n", f);
        std::fputs(script.c_str(), f);
        std::fclose(f);
    }
    ASSERT_EQ(std::system("/usr/bin/python3 writer.py"), 0) << script;
    std::filesystem::remove("writer.py");
}

inline std::string Field(const std::string& file, uint32_t recNo, const char* name,
                         int* state = nullptr) {
    CBase table;
    EXPECT_TRUE(table.Open(file));
    const int s = table.GoTo(recNo);
    if (state) *state = s;
    return table.GetField(name);
}

} // namespace tabletest
