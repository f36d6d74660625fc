// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in window for a desktop without a tray gives way when a tray appears later.
#include "app/TrayIcon.h"

#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

bool g_trayThere = false;
bool TrayThere() {
    return g_trayThere;
}

QIcon Coloured(Qt::GlobalColor colour) {
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

int VisibleStandIns() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QToolButton*>(w) && w->isVisible()) ++n;
    return n;
}

} // namespace

TEST(TrayIcon, StandInGivesWayToATrayThatAppearsLater) {
    TTrayIcon::SetTrayProbe(&TrayThere);
    g_trayThere = false;
    QMenu menu;
    {
        TTrayIcon tray;
        tray.SetPopupMenu(&menu);
        tray.SetIcon(Coloured(Qt::white));
        tray.SetAnimation(Coloured(Qt::white), Coloured(Qt::red), 50);
        tray.SetHint(QStringLiteral("CallBeacon 1 Anruf"));
        tray.Show();
        ASSERT_FALSE(tray.UsesSystemTray());
        EXPECT_EQ(VisibleStandIns(), 1);
        tray.SetAnimate(true);

        // Still no tray: the stand-in stays.
        QTest::qWait(TTrayIcon::kTrayWatchMs + 300);
        EXPECT_FALSE(tray.UsesSystemTray());

        g_trayThere = true;
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return tray.UsesSystemTray(); }, TTrayIcon::kTrayWatchMs + 1000));
        QApplication::processEvents();
        EXPECT_EQ(VisibleStandIns(), 0);
        EXPECT_EQ(tray.Hint(), "CallBeacon 1 Anruf");
        // The animation goes on in the tray, and later hints reach it.
        const int shown = tray.ShownPicture();
        EXPECT_TRUE(QTest::qWaitFor([&] { return tray.ShownPicture() != shown; }, 1000));
        tray.SetAnimate(false);
        EXPECT_EQ(tray.ShownPicture(), 0);
        tray.SetHint(QStringLiteral("CallBeacon"));
        EXPECT_EQ(tray.Hint(), "CallBeacon");
    }
    // A desktop with a tray from the start never sees the stand-in.
    TTrayIcon tray;
    tray.Show();
    EXPECT_TRUE(tray.UsesSystemTray());
    EXPECT_EQ(VisibleStandIns(), 0);
    TTrayIcon::SetTrayProbe(nullptr);
}
