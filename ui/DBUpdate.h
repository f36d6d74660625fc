// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

// Shows the conversion of the two tables at start-up. It starts the work by itself once it is
// on screen and closes when done; Tag() then tells the outcome: 0 converted, 1 failed (the
// program must not go on).
class TDlgDBUpdate : public QDialog {
    Q_OBJECT
public:
    explicit TDlgDBUpdate(QWidget* owner = nullptr);

    int Tag() const { return iTag; }

    // Ignored: the dialog closes by itself once the work is done.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void RunConversion();

    int iTag = 0;
    bool bStarted = false;

    QLabel* Label1;
    QProgressBar* ProgressBar1;
    QLabel* Label2;
    QProgressBar* ProgressBar2;
};
