// SPDX-License-Identifier: GPL-3.0-or-later
// Screenshots of every page of the settings dialog, the Info dialog and the first-start
// assistant, for the docs:
//   callbeacon-param-shot OUTPUT_DIR
// Runs in a scratch folder with small sample tables, sample numbers and sample driver texts.
#include "capi/CapiBase.h"
#include "core/Settings.h"
#include "db/CBase.h"
#include "ui/Einrichtung.h"
#include "ui/Info.h"
#include "ui/Parameter.h"
#include "ui/Resources.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstring>

namespace {

// `count` records, every `step`-th one deleted.
void WriteSampleTable(const char* name, int count, int step) {
    CBase table;
    table.AddField(0, "NAME", 'C', 20, 0);
    if (!table.Create(name)) return;
    for (int i = 0; i < count; ++i) {
        table.PutField("NAME", "Eintrag " + std::to_string(i));
        table.Append();
    }
    for (int i = 0; i < count; i += step)
        table.Delete(i);
    table.Close();
}

bool Save(QWidget* widget, const QString& file) {
    widget->show();
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
    if (!widget->grab().save(file, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    InitUiResources();
    QApplication::setWindowIcon(cb::ApplicationIcon());

    QTemporaryDir scratch;
    if (!scratch.isValid() || !QDir::setCurrent(scratch.path())) return 1;
    SetSettingsFilePathOverride(QDir(scratch.path()).filePath("callbeacon.INI").toStdString());
    WriteSampleTable("Adressen.dbf", 20, 4);
    WriteSampleTable("Anrufe.dbf", 50, 8);

    bAlle = false;
    const char* numbers[] = {"1234567", "1234568", "1234569"};
    const char* names[] = {"B\xFCro", "Privat", "Fax"}; // table text
    for (int i = 0; i < 3; ++i) {
        abZeige[i] = i != 2;
        std::strncpy(aszNr[i], numbers[i], 24);
        asNrName[i] = names[i];
    }
    std::strncpy(szCapiManufacturer, "AVM Berlin", sizeof szCapiManufacturer - 1);
    std::strncpy(szCapiVersion, "2.00 / 1.05", sizeof szCapiVersion - 1);

    bool ok = true;
    {
        TDlgParameter dlg(nullptr);
        // One picture per page, named after its caption.
        for (int i = 0; i < dlg.TabControl->count(); ++i) {
            dlg.TabControl->setCurrentIndex(i);
            const QString page = dlg.TabControl->tabText(i).remove(QLatin1Char('&')).toLower();
            ok = Save(&dlg, out + QStringLiteral("/parameter-%1.png").arg(page)) && ok;
        }
    }
    {
        TDlgInfo dlg(nullptr);
        ok = Save(&dlg, out + QStringLiteral("/info.png")) && ok;
    }
    {
        TDlgEinrichtung dlg;
        ok = Save(&dlg, out + QStringLiteral("/einrichtung.png")) && ok;
    }
    QDir::setCurrent(QDir::tempPath());
    return ok ? 0 : 1;
}
