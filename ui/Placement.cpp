// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Placement.h"

#include "core/Settings.h"
#include "platform/FormPlacement.h"

#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QString>

void ActivatePlacementIfWanted(cb::TFormPlacement& placement) {
    if (!bPosSpeichern) return;
    placement.SetIniFileName(QString::fromStdString(SettingsFilePath()));
    placement.Activate();
}

cb::TFormPlacement* PlaceDialog(QDialog* dialog, const QString& section, bool sized) {
    auto* placement = new cb::TFormPlacement(dialog, section, sized);
    ActivatePlacementIfWanted(*placement);
    return placement;
}

void CentreOnScreen(QWidget* dialog) {
    const QScreen* screen = dialog->screen() ? dialog->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = dialog->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    dialog->move(frame.topLeft());
}

bool HandleHelpKey(const QKeyEvent* event, cb::HelpTopic topic) {
    if (event->key() != Qt::Key_F1 || event->modifiers() != Qt::NoModifier) return false;
    cb::ShowHelp(topic);
    return true;
}
