// SPDX-License-Identifier: GPL-3.0-or-later
// Builds the area-code directory Avon.dbf from data/area-codes.csv (UTF-8, ';'-separated,
// header vorwahl;ort;plz;breite;laenge), keeping the rows' order: the lookup takes the first
// code that fits, and the CSV puts the one longer overlapping code first.
//
//   callbeacon-build-avon <area-codes.csv> <Avon.dbf>

#include "db/AreaCodes.h"
#include "db/CBase.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kColumns = 5;
constexpr std::array<const char*, kColumns> kNames = {"VORWAHL", "ORT", "PLZ", "BREITE", "LAENGE"};
// Widest values the program takes from the directory (the code itself has no limit).
constexpr std::array<size_t, kColumns> kLimits = {255, 299, 15, 11, 11};

using Row = std::array<std::string, kColumns>;

bool Fail(const std::string& text) {
    std::cerr << "callbeacon-build-avon: " << text << '\n';
    return false;
}

// UTF-8 to the table's Latin-1 bytes; a character Latin-1 lacks is an error, not a '?'.
bool ToLatin1(const std::string& utf8, std::string& latin1) {
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    for (QChar c : text)
        if (c.unicode() > 0xFF) return false;
    if (text.toUtf8() != QByteArray(utf8.data(), static_cast<qsizetype>(utf8.size())))
        return false; // not valid UTF-8
    const QByteArray bytes = text.toLatin1();
    latin1.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
    return true;
}

bool ReadRows(const std::string& path, std::vector<Row>& rows) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Fail("cannot read " + path);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lineNo == 1) {
            if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
            if (line != "vorwahl;ort;plz;breite;laenge") return Fail(path + ": unexpected header");
            continue;
        }
        if (line.empty()) continue;
        std::vector<std::string> fields;
        for (size_t start = 0;;) {
            const size_t end = line.find(';', start);
            fields.push_back(line.substr(start, end == std::string::npos ? end : end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
        const std::string where = path + ":" + std::to_string(lineNo);
        if (fields.size() != kColumns) return Fail(where + ": expected 5 fields");
        Row row;
        for (int i = 0; i < kColumns; ++i)
            if (!ToLatin1(fields[i], row[i])) return Fail(where + ": not Latin-1 text");
        if (row[0].empty() || row[0][0] != '0') return Fail(where + ": code without leading 0");
        rows.push_back(row);
    }
    if (rows.empty()) return Fail(path + ": no rows");
    return true;
}

bool Build(const std::vector<Row>& rows, const fs::path& out) {
    std::array<size_t, kColumns> widths{};
    for (const Row& row : rows)
        for (int i = 0; i < kColumns; ++i)
            widths[i] = std::max(widths[i], row[i].size());
    size_t recordBytes = 0;
    for (int i = 0; i < kColumns; ++i) {
        widths[i] = std::max<size_t>(widths[i], 1);
        if (widths[i] > kLimits[i])
            return Fail(std::string("column ") + kNames[i] +
                        " too wide: " + std::to_string(widths[i]));
        recordBytes += widths[i];
    }
    if (recordBytes > static_cast<size_t>(CBase::kRecordBufferSize))
        return Fail("record too long: " + std::to_string(recordBytes));

    // Written under a scratch name, so a failed build never leaves a partial directory that
    // looks up to date.
    const fs::path dir = out.parent_path().empty() ? fs::path(".") : out.parent_path();
    const std::string name = out.filename().string();
    const std::string scratch = name + ".part";
    std::error_code ec;
    fs::current_path(dir, ec);
    if (ec) return Fail("cannot enter " + dir.string());

    CBase table;
    for (int i = 0; i < kColumns; ++i)
        table.AddField(i, kNames[i], 'C', static_cast<int>(widths[i]), 0);
    if (!table.Create(scratch)) return Fail("cannot create " + scratch);
    table.SetKey(kAreaCodeKey);
    for (const Row& row : rows) {
        for (int i = 0; i < kColumns; ++i)
            table.PutField(kNames[i], row[i]);
        if (table.Append() != 1) return Fail("cannot write " + scratch);
    }
    const bool complete = table.RecCount() == rows.size();
    table.Close();
    if (!complete) return Fail("record count mismatch in " + scratch);
    fs::rename(scratch, name, ec);
    if (ec) return Fail("cannot rename " + scratch + " to " + name);
    fs::remove(CBase::CodePageFileOf(scratch), ec);
    if (!CBase::WriteCodePageFile(name)) return Fail("cannot write " + CBase::CodePageFileOf(name));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: callbeacon-build-avon <area-codes.csv> <Avon.dbf>\n";
        return 2;
    }
    std::vector<Row> rows;
    if (!ReadRows(argv[1], rows)) return 1;
    if (!Build(rows, fs::absolute(argv[2]))) return 1;
    return 0;
}
