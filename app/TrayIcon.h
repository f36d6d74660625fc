// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QMenu;
class QSystemTrayIcon;
class QToolButton;
class QWidget;

// The tray icon with hint, pop-up menu, click event and a two-picture animation. On a desktop
// without a notification area it falls back to a small stay-on-top window showing the same
// picture and hint, with the menu on a right click, so the program stays usable there.
// When a tray appears later (a panel that starts after the program), the stand-in gives way
// to the tray icon.
class TTrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TTrayIcon(QObject* parent = nullptr);
    ~TTrayIcon() override;

    void SetPopupMenu(QMenu* menu);
    void SetHint(const QString& hint);
    QString Hint() const { return sHint; }
    void SetIcon(const QIcon& icon);
    // Alternates the pictures every interval while Animate is on.
    void SetAnimation(const QIcon& first, const QIcon& second, int intervalMs);
    void SetAnimate(bool on);
    bool Animate() const { return animationTimer.isActive(); }
    // Which picture shows now: 0 the icon set with SetIcon or the first picture, 1 the second.
    int ShownPicture() const { return iShown; }
    bool UsesSystemTray() const { return pTray != nullptr; }
    void Show();

    // Whether the desktop offers a tray now; tests answer for a desktop they cannot change.
    using TrayProbe = bool (*)();
    static void SetTrayProbe(TrayProbe probe);
    static constexpr int kTrayWatchMs = 2000;

signals:
    void Click();

private:
    void Paint(const QIcon& icon);
    void PlaceFallback();
    void AnimationStep();
    void CreateSystemTray();
    void CreateFallback();
    void WatchForTray();

    QSystemTrayIcon* pTray = nullptr;
    QPointer<QToolButton> pFallback;
    QMenu* pMenu = nullptr;
    QString sHint;
    QIcon icon;
    QIcon aAnimation[2];
    QTimer animationTimer;
    QTimer trayWatch;
    QIcon shownPicture;
    bool bShown = false;
    int iShown = 0;
};
