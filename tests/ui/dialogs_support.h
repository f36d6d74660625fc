// SPDX-License-Identifier: GPL-3.0-or-later
// Lists and modal-dialog driving for the list dialog and editor tests.
#pragma once

#include "support/TableSupport.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace cbtest {

// The lines the list holds, as table bytes (Latin-1).
inline std::vector<std::string> Lines(QTreeView* view) {
    std::vector<std::string> lines;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        lines.push_back(
            view->model()->index(row, 0).data(Qt::UserRole).toString().toLatin1().toStdString());
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

} // namespace cbtest
