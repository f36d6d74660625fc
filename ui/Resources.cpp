// SPDX-License-Identifier: GPL-3.0-or-later
#include "Resources.h"

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

QIcon TelefonWeissIcon() { return IconOfSizes("telefon_weiss"); }
QIcon TelefonRotIcon() { return IconOfSizes("telefon_rot"); }
QIcon ApplicationIcon() { return IconOfSizes("callbeacon"); }

} // namespace cb
