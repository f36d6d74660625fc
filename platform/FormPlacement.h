// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace cb {

// Keeps a dialog's placement in one section of the settings file: restored when the dialog
// is first shown, stored when it is hidden. Keys Left, Top and, with size, Width, Height and
// State (0 normal, 1 maximised). Nothing happens until Activate() is called, so a dialog
// whose PosSpeichern setting is off opens centred and stores nothing.
class TFormPlacement : public QObject {
    Q_OBJECT
public:
    TFormPlacement(QWidget* form, QString section, bool withSize);

    void SetIniFileName(const QString& path) { sIniFile = path; }
    void Activate();
    bool Active() const { return bActive; }

    void Restore();
    void Store();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* pForm;
    QString sSection;
    QString sIniFile;
    bool bWithSize;
    bool bActive = false;
    bool bRestored = false;
};

} // namespace cb
