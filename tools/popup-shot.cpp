// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of the caller pop-up for docs/, from the real tables through the real lookup:
//   mkdir -p /tmp/popup-data && cp build/Avon.dbf /tmp/popup-data/
//   build/tools/callbeacon-demo-data /tmp/popup-data
//   xvfb-run -a -s "-screen 0 1024x768x24" build/tools/callbeacon-popup-shot /tmp/popup-data docs
#include "db/Anruf.h"
#include "ui/Detail.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>

#include <cstdio>
#include <filesystem>

namespace {

struct Shot {
    const char* calling;
    const char* file;
};

// A known caller in Berlin (phone-book entry with street and info), an unknown caller from
// Munich (place from the area-code directory only) and a call without number.
const Shot kShots[] = {
    {"0302345678", "popup-berlin.png"},
    {"0891234567", "popup-muenchen.png"},
    {"0", "popup-ohne-nummer.png"},
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DATA-FOLDER OUT-FOLDER\n", argv[0]);
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    std::filesystem::current_path(argv[1]);
    for (const Shot& shot : kShots) {
        tAnruf anruf;
        LookupCaller(anruf, shot.calling, "4711", true);
        TDlgDetail dlg(nullptr);
        dlg.SetRecord(anruf, false);
        dlg.show();
        if (!QTest::qWaitForWindowExposed(&dlg)) std::fprintf(stderr, "window not exposed\n");
        QTest::qWait(200);
        const QString path = out + QLatin1Char('/') + QLatin1String(shot.file);
        if (!dlg.grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s: %s\n", shot.calling, qPrintable(path));
    }
    return 0;
}
