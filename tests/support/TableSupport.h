// SPDX-License-Identifier: GPL-3.0-or-later
// Builders for the tables the phone-book, call-log, area-code and conversion tests work on.
#pragma once

#include "db/Anruf.h"
#include "db/AreaCodes.h"
#include "db/CBase.h"
#include "db/CallLog.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace tabletest {

struct Entry {
    std::string name;
    std::string telefon;
    bool deleted = false;
    std::string ort = "";
};

// A phone book in the current layout.
inline void CreatePhoneBook(const std::vector<Entry>& entries) {
    CBase table;
    AddPhoneBookFields(table);
    ASSERT_TRUE(table.Create(kPhoneBookFile));
    for (const Entry& e : entries) {
        table.PutField("NAME", e.name);
        table.PutField("TELEFON", e.telefon);
        table.PutField("INFO", "Info " + e.name);
        table.PutField("VORNAME", "Vorname " + e.name);
        table.PutField("STRASSE", "Weg 1");
        table.PutField("PLZORT", "12345");
        table.PutField("ORT", e.ort.empty() ? "Ort" : e.ort);
        table.PutField("EMAIL", "a@b.de");
        table.PutField("FAX", "0301");
        table.PutField("APARTNER", "Chef");
        ASSERT_EQ(table.Append(), 1);
        if (e.deleted) {
            ASSERT_EQ(table.Delete(table.RecNo()), 1);
        }
    }
}

inline void CreateCallLog() {
    CBase table;
    AddCallLogFields(table);
    ASSERT_TRUE(table.Create(kCallLogFile));
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
