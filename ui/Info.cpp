// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Info.h"

#include "capi/CapiBase.h"
#include "core/Settings.h"
#include "core/Version.h"
#include "platform/FormPlacement.h"
#include "platform/HelpViewer.h"
#include "ui/Placement.h"
#include "ui/Resources.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <cstring>

namespace {

QLabel* NewLabel(const char* name, const QString& caption, int left, int top, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

QLabel* NewPicture(const char* name, const QString& resource, int left, int top, QWidget* parent) {
    auto* picture = new QLabel(parent);
    picture->setObjectName(QLatin1String(name));
    const QPixmap pixmap(resource);
    picture->setPixmap(pixmap);
    picture->setGeometry(left, top, pixmap.width(), pixmap.height());
    return picture;
}

QString TextOf(const char* buffer, size_t size) {
    return QString::fromLatin1(buffer, static_cast<int>(strnlen(buffer, size)));
}

} // namespace

TDlgInfo::TDlgInfo(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    InitUiResources();
    setObjectName(QStringLiteral("DlgInfo"));
    setWindowTitle(QStringLiteral("Info"));
    setFixedSize(592, 333);

    Image3 = NewPicture("Image3", QStringLiteral(":/pictures/titel.png"), 10, 7, this);
    ProgrammName = NewLabel("ProgrammName", QStringLiteral("Version "), 11, 56, this);
    QFont bold = ProgrammName->font();
    bold.setBold(true);
    ProgrammName->setFont(bold);
    ProgrammName->setStyleSheet(QStringLiteral("color: black"));
    auto* bevel1 = new QFrame(this);
    bevel1->setObjectName(QStringLiteral("Bevel1"));
    bevel1->setFrameShape(QFrame::HLine);
    bevel1->setFrameShadow(QFrame::Sunken);
    bevel1->setGeometry(10, 74, 396, 2);

    Label5 = NewLabel("Label5", QStringLiteral("CBase engine 3.0"), 9, 273, this);
    Label8 = NewLabel("Label8", QStringLiteral("CAPI Hersteller"), 9, 291, this);
    Label7 = NewLabel("Label7", QStringLiteral("CAPI Version"), 9, 309, this);
    // The values stand in one column behind the wider caption, whatever the font.
    const int valueLeft = std::max(89, 9 + std::max(Label8->width(), Label7->width()) + 8);
    Hersteller = NewLabel("Hersteller", QStringLiteral("unbekannt"), valueLeft, 291, this);
    CAPIVersion = NewLabel("CAPIVersion", QStringLiteral("unbekannt"), valueLeft, 309, this);

    auto* bevel2 = new QFrame(this);
    bevel2->setObjectName(QStringLiteral("Bevel2"));
    bevel2->setFrameShape(QFrame::VLine);
    bevel2->setFrameShadow(QFrame::Sunken);
    bevel2->setGeometry(418, 11, 2, 284);
    Image2 = NewPicture("Image2", QStringLiteral(":/pictures/seite.png"), 437, 15, this);

    BtnOk = new QPushButton(QStringLiteral("&OK"), this);
    BtnOk->setObjectName(QStringLiteral("BtnOk"));
    BtnOk->setGeometry(505, 301, 75, 25);
    BtnOk->setDefault(true);
    connect(BtnOk, &QPushButton::clicked, this, &TDlgInfo::BtnOkClick);

    CentreOnScreen(this);
    FormPlacement = PlaceDialog(this, QStringLiteral("WndInfo"), false);
    FormCreate();
}

void TDlgInfo::FormCreate() {
    ProgrammName->setText(ProgrammName->text() + ProgramVersionText());
    ProgrammName->adjustSize();
    // The texts read at start-up, as they are; empty without a driver.
    Hersteller->setText(TextOf(szCapiManufacturer, sizeof szCapiManufacturer));
    Hersteller->adjustSize();
    CAPIVersion->setText(TextOf(szCapiVersion, sizeof szCapiVersion));
    CAPIVersion->adjustSize();
}

void TDlgInfo::BtnOkClick() {
    accept();
}

void TDlgInfo::keyPressEvent(QKeyEvent* event) {
    if (!HandleHelpKey(event, cb::HelpInfo)) QDialog::keyPressEvent(event);
}
