// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelpViewer.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

namespace cb {

namespace {
std::function<void(int)>& Hook() {
    static std::function<void(int)> hook;
    return hook;
}

QUrl PageOf(int topic) {
    const QString page = topic == HelpContents ? QStringLiteral("qrc:/help/index.html")
                                               : QStringLiteral("qrc:/help/%1.html").arg(topic);
    if (!QFile::exists(QUrl(page).toString().replace(QStringLiteral("qrc:"), QStringLiteral(":"))))
        return QUrl(QStringLiteral("qrc:/help/index.html"));
    return QUrl(page);
}
} // namespace

void ShowHelp(int topic) {
    if (Hook()) {
        Hook()(topic);
        return;
    }
    static QPointer<QTextBrowser> viewer;
    if (!viewer) {
        viewer = new QTextBrowser;
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        viewer->setWindowTitle(QStringLiteral("CallBeacon Hilfe"));
        viewer->setOpenExternalLinks(true);
        viewer->resize(640, 520);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = viewer->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            viewer->move(frame.topLeft());
        }
    }
    viewer->setSource(PageOf(topic));
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

void SetHelpHook(std::function<void(int)> hook) { Hook() = std::move(hook); }

} // namespace cb
