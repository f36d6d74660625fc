// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DBUpdate.h"

#include "ui/Placement.h"

#include "db/Conversion.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>

namespace {

// Moves the bars; lets the dialog repaint now and then without taking user input.
class BarProgress : public ConversionProgress {
public:
    BarProgress(QProgressBar* phoneBook, QProgressBar* callLog) : aBars{phoneBook, callLog} {}

    void SetMax(int table, uint32_t max) override {
        QProgressBar* bar = aBars[table & 1];
        // An empty table would turn the bar into a busy indicator.
        bar->setRange(0, static_cast<int>(std::clamp<uint32_t>(max, 1, INT32_MAX)));
        bar->setValue(0);
        aMax[table & 1] = max;
        Repaint();
    }

    void SetValue(int table, uint32_t value) override {
        QProgressBar* bar = aBars[table & 1];
        bar->setValue(value >= aMax[table & 1]
                          ? bar->maximum()
                          : static_cast<int>(std::min<uint32_t>(value, INT32_MAX)));
        if (value % 256 == 0 || value >= aMax[table & 1]) Repaint();
    }

private:
    static void Repaint() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

    QProgressBar* aBars[2];
    uint32_t aMax[2] = {0, 0};
};

} // namespace

TDlgDBUpdate::TDlgDBUpdate(QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    Label1 = new QLabel(QStringLiteral("Update von Adressen.dbf"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(5, 4, 403, 16);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(5, 21, 403, 20);
    Label2 = new QLabel(QStringLiteral("Update von Anrufe.dbf"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(5, 47, 403, 16);
    ProgressBar2 = new QProgressBar(this);
    ProgressBar2->setObjectName(QStringLiteral("ProgressBar2"));
    ProgressBar2->setGeometry(5, 64, 403, 20);
    for (QProgressBar* bar : {ProgressBar1, ProgressBar2}) {
        bar->setRange(0, 1);
        bar->setValue(0);
        bar->setTextVisible(false);
    }
    setWindowTitle(QStringLiteral("Datenbank update"));
    setFixedSize(413, 91);
    setModal(true);
    FormCreate();
}

void TDlgDBUpdate::FormCreate() {
    iTag = 0;
    CentreOnScreen(this);
}

void TDlgDBUpdate::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Queued, so the work starts only once the dialog is on screen.
    if (!bStarted) {
        bStarted = true;
        QMetaObject::invokeMethod(this, &TDlgDBUpdate::RunConversion, Qt::QueuedConnection);
    }
}

// Escape and the window manager's close must not end the dialog before or during the work
// with a Tag that says it ran through; it closes by itself when the work is done.
void TDlgDBUpdate::reject() {}

void TDlgDBUpdate::RunConversion() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    BarProgress progress(ProgressBar1, ProgressBar2);
    iTag = ConvertTables(&progress);
    done(iTag == 0 ? QDialog::Accepted : QDialog::Rejected);
}
