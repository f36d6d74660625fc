// SPDX-License-Identifier: GPL-3.0-or-later
// Tables with a chosen pattern of deleted records, and the settings pointed at a scratch file.
#pragma once

#include "core/Settings.h"
#include "db/CBase.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace cbtest {

// Writes `name` with one text field NR holding each record's original index; records whose
// flag is true are marked deleted. The layout comes from the engine, the records are written
// straight into the file so that tens of thousands take no time.
inline void WriteNumberedTable(const std::string& name, const std::vector<bool>& deleted) {
    {
        CBase table;
        table.AddField(0, "NR", 'C', 8, 0);
        ASSERT_TRUE(table.Create(name));
        table.Close();
    }
    std::string file = ReadWholeFile(name);
    ASSERT_GE(file.size(), 32u);
    const size_t headerLength = uint8_t(file[8]) | (uint8_t(file[9]) << 8);
    ASSERT_LE(headerLength, file.size());
    file.resize(headerLength);
    for (size_t i = 0; i < deleted.size(); ++i) {
        std::string number = std::to_string(i);
        number.resize(8, ' ');
        file += deleted[i] ? '*' : ' ';
        file += number;
    }
    file.push_back('\x1a');
    const uint32_t count = uint32_t(deleted.size());
    for (int b = 0; b < 4; ++b)
        file[4 + b] = char((count >> (8 * b)) & 0xff);
    WriteWholeFile(name, file);
}

// Every third record deleted, starting with the first: n records, (n + 2) / 3 deleted.
inline std::vector<bool> EveryThirdDeleted(size_t n) {
    std::vector<bool> flags(n);
    for (size_t i = 0; i < n; i += 3)
        flags[i] = true;
    return flags;
}

// A fresh working folder with the settings at their defaults and the settings file in it.
class SettingsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        SetSettingsFilePathOverride(dir.file("callbeacon.INI"));
    }
    void TearDown() override {
        SetSettingsFilePathOverride(std::string());
        ResetSettings();
    }
    TempDir dir;
};

} // namespace cbtest
