// SPDX-License-Identifier: GPL-3.0-or-later
#include "Resources.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QString>

// Q_INIT_RESOURCE must not be used inside a namespace.
static void InitResourcesOnce() {
    Q_INIT_RESOURCE(icons);
    Q_INIT_RESOURCE(pictures);
}

void InitUiResources() {
    static const bool done = (InitResourcesOnce(), true);
    (void)done;
}

namespace cb {

namespace {
QIcon IconOfSizes(const char* name) {
    InitUiResources();
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addFile(QStringLiteral(":/icons/%1_%2.png").arg(QLatin1String(name)).arg(size),
                     QSize(size, size));
    return icon;
}
} // namespace

QIcon TelefonWeissIcon() {
    return IconOfSizes("telefon_weiss");
}
QIcon TelefonRotIcon() {
    return IconOfSizes("telefon_rot");
}
QIcon ApplicationIcon() {
    return IconOfSizes("callbeacon");
}

QIcon TelefonGetrenntIcon() {
    InitUiResources();
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QImage image(QStringLiteral(":/icons/telefon_weiss_%1.png").arg(size));
        if (image.isNull()) continue;
        image = image.convertToFormat(QImage::Format_ARGB32);
        // Dark grey, so the telephone reads as out of service on light and dark panels alike.
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int grey = qGray(line[x]) * 2 / 5 + 30;
                line[x] = qRgba(grey, grey, grey, qAlpha(line[x]));
            }
        }
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal width = qMax(1.5, size / 11.0);
        const qreal inset = size / 6.0;
        painter.setPen(QPen(QColor(200, 0, 0), width, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(inset, inset), QPointF(size - inset, size - inset));
        painter.drawLine(QPointF(size - inset, inset), QPointF(inset, size - inset));
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace cb
