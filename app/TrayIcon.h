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

signals:
    void Click();

private:
    void Paint(const QIcon& icon);
    void PlaceFallback();
    void AnimationStep();

    QSystemTrayIcon* pTray = nullptr;
    QPointer<QToolButton> pFallback;
    QMenu* pMenu = nullptr;
    QString sHint;
    QIcon icon;
    QIcon aAnimation[2];
    QTimer animationTimer;
    int iShown = 0;
};
