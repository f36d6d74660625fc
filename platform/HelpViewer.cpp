// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelpViewer.h"

#include <QApplication>
#include <QFile>
#include <QKeySequence>
#include <QPointer>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>

#include <algorithm>

namespace cb {

namespace {
constexpr int kBreite = 640;
constexpr int kHoehe = 520;
constexpr int kMindestBreite = 320;
constexpr int kAbstand = 8;

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

// Beside the dialog, on the side with room, so that both stay readable; narrower when
// neither side has room for the full width.
void PlaceBeside(QWidget* viewer, const QWidget* dialog) {
    const QScreen* screen = dialog->screen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QRect frame = dialog->frameGeometry();
    // The viewer gets the same window-frame margins as the dialog.
    const QMargins margins(
        dialog->geometry().left() - frame.left(), dialog->geometry().top() - frame.top(),
        frame.right() - dialog->geometry().right(), frame.bottom() - dialog->geometry().bottom());
    const int frameW = margins.left() + margins.right();
    const int frameH = margins.top() + margins.bottom();
    const int roomRight = avail.right() - frame.right() - kAbstand;
    const int roomLeft = frame.left() - avail.left() - kAbstand;
    const bool right = roomRight >= kBreite + frameW || roomRight >= roomLeft;
    const int room = right ? roomRight : roomLeft;
    const int width = std::clamp(room - frameW, std::min(kMindestBreite, kBreite), kBreite);
    const int height = std::min(kHoehe, avail.height() - frameH);
    int x = right ? frame.right() + 1 + kAbstand : frame.left() - kAbstand - width - frameW;
    x = std::clamp(x, avail.left(), std::max(avail.left(), avail.right() + 1 - width - frameW));
    const int y = std::clamp(frame.top(), avail.top(),
                             std::max(avail.top(), avail.bottom() + 1 - height - frameH));
    viewer->resize(width, height);
    viewer->move(x, y);
}

void PlaceCentred(QWidget* viewer) {
    viewer->resize(kBreite, kHoehe);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = viewer->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        viewer->move(frame.topLeft());
    }
}
} // namespace

void ShowHelp(int topic) {
    if (Hook()) {
        Hook()(topic);
        return;
    }
    // A modal dialog blocks every window but its own: the viewer belongs to the open dialog, so
    // it can be scrolled, clicked and closed while the dialog waits beside it.
    QWidget* owner = QApplication::activeModalWidget();
    static QPointer<QTextBrowser> viewer;
    if (viewer && viewer->parentWidget() != owner) {
        viewer->close();
        viewer = nullptr;
    }
    const bool fresh = !viewer;
    if (fresh) {
        viewer = new QTextBrowser(owner);
        viewer->setObjectName(QStringLiteral("HelpViewer"));
        viewer->setWindowFlags(Qt::Window);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        viewer->setWindowTitle(QStringLiteral("CallBeacon Hilfe"));
        viewer->setOpenExternalLinks(true);
        // Escape closes the help as it closes the dialogs, also where the window has no close box.
        auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), viewer);
        QObject::connect(escape, &QShortcut::activated, viewer, &QWidget::close);
        if (owner)
            PlaceBeside(viewer, owner);
        else
            PlaceCentred(viewer);
    }
    viewer->setSource(PageOf(topic));
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

void SetHelpHook(std::function<void(int)> hook) {
    Hook() = std::move(hook);
}

} // namespace cb
