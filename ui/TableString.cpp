// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TableString.h"

#include "db/TableText.h"

QString FromTable(std::string_view table) {
    const std::string utf8 = TableToUtf8(table);
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

std::string ToTable(const QString& text) {
    std::string table;
    if (Utf8ToTable(text.toStdString(), table)) return table;
    // Character by character, so that only what cannot be held is replaced.
    table.clear();
    std::string one;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        if (Utf8ToTable(text.mid(i, n).toStdString(), one))
            table += one;
        else
            table += '?';
        i += n;
    }
    return table;
}

QString UnstorableCharacter(const QString& text) {
    std::string table, bad;
    if (Utf8ToTable(text.toStdString(), table, &bad)) return {};
    return QString::fromStdString(bad);
}
