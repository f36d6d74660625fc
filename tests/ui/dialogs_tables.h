// SPDX-License-Identifier: GPL-3.0-or-later
// Test tables for the list dialogs, written through the table engine.
#pragma once

#include "db/CBase.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace dlgtest {

struct Entry {
    std::string name{}, telefon{}, vorname{}, strasse{}, plz{}, ort{}, info{}, email{}, fax{},
        apartner{};
    bool deleted = false;
};

inline void CreatePhoneBook(const std::string& file = "Adressen.dbf") {
    CBase t;
    t.AddField(0, "NAME", 'C', 20, 0);
    t.AddField(1, "TELEFON", 'C', 20, 0);
    t.AddField(2, "INFO", 'C', 250, 0);
    t.AddField(3, "VORNAME", 'C', 20, 0);
    t.AddField(4, "STRASSE", 'C', 30, 0);
    t.AddField(5, "PLZORT", 'C', 7, 0);
    t.AddField(6, "ORT", 'C', 20, 0);
    t.AddField(7, "EMAIL", 'C', 50, 0);
    t.AddField(8, "FAX", 'C', 20, 0);
    t.AddField(9, "APARTNER", 'C', 20, 0);
    ASSERT_TRUE(t.Create(file));
}

inline void AddEntries(const std::vector<Entry>& entries,
                       const std::string& file = "Adressen.dbf") {
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

inline void CreateCallLog(const std::string& file = "Anrufe.dbf") {
    CBase t;
    t.AddField(0, "ZEIT", 'C', 10, 0);
    t.AddField(1, "ANRUFER", 'C', 20, 0);
    t.AddField(2, "GERUFENER", 'C', 20, 0);
    t.AddField(3, "ANG", 'C', 1, 0);
    ASSERT_TRUE(t.Create(file));
}

inline void AddCalls(const std::vector<Call>& calls, const std::string& file = "Anrufe.dbf") {
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

} // namespace dlgtest
