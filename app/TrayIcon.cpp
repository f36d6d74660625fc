// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrayIcon.h"

#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QToolButton>

namespace {
bool SystemTrayAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}
TTrayIcon::TrayProbe g_probe = &SystemTrayAvailable;
} // namespace

void TTrayIcon::SetTrayProbe(TrayProbe probe) {
    g_probe = probe ? probe : &SystemTrayAvailable;
}

TTrayIcon::TTrayIcon(QObject* parent) : QObject(parent) {
    if (g_probe()) {
        CreateSystemTray();
    } else {
        CreateFallback();
        // No signal tells when a panel with a tray starts, so look now and then.
        trayWatch.setInterval(kTrayWatchMs);
        connect(&trayWatch, &QTimer::timeout, this, &TTrayIcon::WatchForTray);
        trayWatch.start();
    }
    animationTimer.setInterval(400);
    connect(&animationTimer, &QTimer::timeout, this, &TTrayIcon::AnimationStep);
}

void TTrayIcon::CreateSystemTray() {
    pTray = new QSystemTrayIcon(this);
    connect(pTray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    emit Click();
            });
}

void TTrayIcon::CreateFallback() {
    pFallback = new QToolButton;
    pFallback->setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint);
    pFallback->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    pFallback->setIconSize(QSize(32, 32));
    pFallback->setContextMenuPolicy(Qt::CustomContextMenu);
    pFallback->setAutoRaise(false);
    connect(pFallback, &QToolButton::clicked, this, &TTrayIcon::Click);
    connect(pFallback, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (pMenu) pMenu->popup(pFallback->mapToGlobal(pos));
    });
}

void TTrayIcon::WatchForTray() {
    if (!g_probe()) return;
    trayWatch.stop();
    CreateSystemTray();
    pTray->setToolTip(sHint);
    pTray->setIcon(shownPicture);
    if (pMenu) pTray->setContextMenu(pMenu);
    if (bShown) pTray->show();
    // The menu may be open over the stand-in; it belongs to the main window, not to it.
    delete pFallback;
}

TTrayIcon::~TTrayIcon() {
    delete pFallback;
}

void TTrayIcon::SetPopupMenu(QMenu* menu) {
    pMenu = menu;
    if (pTray)
        pTray->setContextMenu(menu);
    else if (pFallback)
        pFallback->setToolTip(QStringLiteral("Rechtsklick: Menü"));
}

void TTrayIcon::SetHint(const QString& hint) {
    sHint = hint;
    if (pTray) pTray->setToolTip(hint);
    if (pFallback) {
        pFallback->setText(hint);
        if (pFallback->isVisible()) PlaceFallback();
    }
}

void TTrayIcon::SetIcon(const QIcon& newIcon) {
    icon = newIcon;
    iShown = 0;
    Paint(icon);
}

void TTrayIcon::SetAnimation(const QIcon& first, const QIcon& second, int intervalMs) {
    aAnimation[0] = first;
    aAnimation[1] = second;
    animationTimer.setInterval(intervalMs);
}

void TTrayIcon::SetAnimate(bool on) {
    if (on == animationTimer.isActive()) return;
    if (on) {
        iShown = 0;
        Paint(aAnimation[0]);
        animationTimer.start();
    } else {
        animationTimer.stop();
        iShown = 0;
        Paint(icon);
    }
}

void TTrayIcon::AnimationStep() {
    iShown = 1 - iShown;
    Paint(aAnimation[iShown]);
}

void TTrayIcon::Paint(const QIcon& picture) {
    shownPicture = picture;
    if (pTray) pTray->setIcon(picture);
    if (pFallback) pFallback->setIcon(picture);
}

void TTrayIcon::Show() {
    bShown = true;
    if (pTray) {
        pTray->show();
    } else if (pFallback) {
        PlaceFallback();
        pFallback->show();
    }
}

void TTrayIcon::PlaceFallback() {
    // Anchored at the top right corner, so a longer hint grows to the left.
    pFallback->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        pFallback->move(area.right() - pFallback->width() - 8, area.top() + 8);
    }
}
