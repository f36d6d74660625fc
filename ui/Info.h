// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace cb {
class TFormPlacement;
}

// The Info dialog: program version, table engine, and the manufacturer and version of the
// CAPI driver read at start-up (empty without a driver). Changes nothing.
class TDlgInfo : public QDialog {
    Q_OBJECT
public:
    explicit TDlgInfo(QWidget* owner);

    void BtnOkClick();

    QLabel* Image3;       // title picture
    QLabel* ProgrammName; // "Version 1.50"
    QLabel* Label5;       // "CBase engine 3.0"
    QLabel* Label8;
    QLabel* Hersteller;
    QLabel* Label7;
    QLabel* CAPIVersion;
    QLabel* Image2; // side picture
    QPushButton* BtnOk;
    cb::TFormPlacement* FormPlacement;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormCreate();
};
