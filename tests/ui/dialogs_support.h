// SPDX-License-Identifier: GPL-3.0-or-later
// Tables and modal-dialog driving for the list dialog and editor tests.
#pragma once

#include "db/CBase.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
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

inline void AddEntries(const std::vector<Entry>& entries, const std::string& file = "Adressen.dbf") {
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

// The lines the list holds, as table bytes (Latin-1).
inline std::vector<std::string> Lines(QTreeView* view) {
    std::vector<std::string> lines;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        lines.push_back(view->model()->index(row, 0).data(Qt::UserRole).toString().toLatin1().toStdString());
    return lines;
}

// The visible cell texts of one row.
inline std::vector<std::string> Cells(QTreeView* view, int row) {
    std::vector<std::string> cells;
    for (int col = 0; col < view->model()->columnCount(); ++col)
        cells.push_back(view->model()->index(row, col).data().toString().toStdString());
    return cells;
}

// Types `text` into `w` key by key; umlauts too, which QTest::keyClicks cannot.
inline void Type(QWidget* w, const QString& text) {
    for (QChar ch : text) {
        if (ch.unicode() < 0x80) {
            QTest::keyClick(w, char(ch.unicode()));
        } else {
            const auto key = Qt::Key(ch.toUpper().unicode());
            QTest::sendKeyEvent(QTest::Press, w, key, QString(ch), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, w, key, QString(ch), Qt::NoModifier);
        }
    }
}

// Runs `act` on the modal dialog as soon as one is open (the caller then opens it with
// exec()). The test fails if none appears within five seconds; an action that has not run
// when the guard goes out of scope is dropped, so it cannot act in a later test.
class ModalAction {
public:
    explicit ModalAction(std::function<void(QWidget*)> act) : act_(std::move(act)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this]() {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal && ++tries_ < 500) return;
            timer_.stop();
            if (!modal) {
                ADD_FAILURE() << "no modal dialog opened";
                return;
            }
            ran_ = true;
            act_(modal);
        });
        timer_.start();
    }
    ~ModalAction() {
        if (!ran_) ADD_FAILURE() << "the modal dialog never came";
    }
    ModalAction(const ModalAction&) = delete;
    ModalAction& operator=(const ModalAction&) = delete;

private:
    std::function<void(QWidget*)> act_;
    QTimer timer_;
    int tries_ = 0;
    bool ran_ = false;
};

} // namespace dlgtest
