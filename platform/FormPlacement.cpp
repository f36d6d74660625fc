// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormPlacement.h"

#include "platform/IniFile.h"

#include <QEvent>
#include <QWidget>

namespace cb {

TFormPlacement::TFormPlacement(QWidget* form, QString section, bool withSize)
    : QObject(form), pForm(form), sSection(std::move(section)), bWithSize(withSize) {}

void TFormPlacement::Activate() {
    if (bActive || sIniFile.isEmpty()) return;
    bActive = true;
    pForm->installEventFilter(this);
}

void TFormPlacement::Restore() {
    CIniFile ini(sIniFile.toStdString());
    const std::string section = sSection.toStdString();
    const int left = ini.ReadInteger(section, "Left", INT32_MIN);
    const int top = ini.ReadInteger(section, "Top", INT32_MIN);
    if (bWithSize) {
        const int width = ini.ReadInteger(section, "Width", -1);
        const int height = ini.ReadInteger(section, "Height", -1);
        if (width > 0 && height > 0 && width < 20000 && height < 20000)
            pForm->resize(width, height);
    }
    // Ignore absurd positions from a hand-edited file rather than losing the window.
    if (left > -20000 && left < 20000 && top > -20000 && top < 20000) pForm->move(left, top);
    if (bWithSize && ini.ReadInteger(section, "State", 0) == 1)
        pForm->setWindowState(pForm->windowState() | Qt::WindowMaximized);
}

void TFormPlacement::Store() {
    CIniFile ini(sIniFile.toStdString());
    const std::string section = sSection.toStdString();
    try {
        const bool maximised = pForm->isMaximized();
        const QRect normal = maximised ? pForm->normalGeometry() : pForm->geometry();
        const QPoint framePos = maximised ? normal.topLeft() : pForm->pos();
        // One replacement of the settings file for the whole placement.
        std::vector<IniEntry> entries = {{section, "Left", std::to_string(framePos.x())},
                                         {section, "Top", std::to_string(framePos.y())}};
        if (bWithSize) {
            entries.push_back({section, "Width", std::to_string(normal.width())});
            entries.push_back({section, "Height", std::to_string(normal.height())});
            entries.push_back({section, "State", maximised ? "1" : "0"});
        }
        ini.WriteEntries(entries);
    } catch (const IniWriteError&) {
        // A placement that cannot be stored is not worth a box; the settings save reports
        // an unwritable file at shutdown.
    }
}

bool TFormPlacement::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pForm) {
        if (event->type() == QEvent::Show && !bRestored) {
            bRestored = true;
            Restore();
        } else if (event->type() == QEvent::Hide) {
            Store();
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace cb
