// SPDX-License-Identifier: GPL-3.0-or-later
#include "ErrorBoxQt.h"

#include "platform/ErrorBox.h"
#include "platform/Trace.h"

#include <QMessageBox>
#include <QString>

namespace cb {

namespace {
void ShowQtBox(const std::string& text) {
    Trace("box " + text);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Fehler"), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}
} // namespace

void InstallQtErrorBox() {
    SetErrorBoxHandler(&ShowQtBox);
}

} // namespace cb
