// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of the call history, the phone book (deleted rows shown) and the entry editor:
//   xvfb-run -a -s "-screen 0 1280x800x24" build/tools/callbeacon-dialogs-shot docs docs/editor.png
#include "db/Anruf.h"
#include "db/CBase.h"
#include "ui/Anrufer.h"
#include "ui/Editor.h"
#include "ui/Teilnehmer.h"

#include <QApplication>
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QPixmap>
#include <QTreeView>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

struct Person {
    const char *name, *vorname, *strasse, *plz, *ort, *telefon;
    bool deleted;
};

const Person kPersonen[] = {
    {"M\xFCller", "J\xFCrgen",
     "Hauptstra\xDF"
     "e 12",
     "10115", "Berlin", "0302345678", false},
    {"Schr\xF6"
     "der",
     "Anna", "Am M\xFChlenbach 3", "20095", "Hamburg", "0407654321", false},
    {"Wei\xDF", "Bj\xF6rn", "K\xF6nigsallee 88", "40212", "D\xFCsseldorf", "0211998877", true},
    {"B\xE4"
     "cker",
     "Gisela", "Lindenweg 5", "80331", "M\xFCnchen", "0891234567", false},
    {"Kr\xFCger GmbH", "",
     "Industriestra\xDF"
     "e 140",
     "50667", "K\xF6ln", "0221555000", false},
    {"Hoffmann", "Sabine",
     "Rosenstra\xDF"
     "e 7a",
     "23552",
     "L\xFC"
     "beck",
     "04517788", false},
    {"B\xFCro", "Zentrale",
     "Gartenstra\xDF"
     "e 1",
     "10115", "Berlin", "0301000001", false},
    {"\xD6zt\xFCrk", "Mehmet", "Schillerplatz 2", "70173", "Stuttgart", "07112223344", true},
    {"J\xE4ger", "Uwe", "Waldweg 19", "01067", "Dresden", "03514455667", false},
};

struct Anruf {
    int minutesAgo;
    const char *anrufer, *gerufener, *ang;
    bool deleted;
};

const Anruf kAnrufe[] = {
    {9000, "0302345678", "0301000001", "J", false}, {8000, "0407654321", "0301000001", " ", false},
    {7000, "0", "0301000002", " ", false},          {6500, "0211998877", "0301000001", "J", true},
    {6000, "0891234567", "0301000002", "J", false}, {5000, "01715550123", "0301000001", " ", false},
    {4000, "0221555000", "0301000001", "J", false}, {3000, "04517788", "0301000002", " ", true},
    {2500, "0302345678", "0301000002", "J", false}, {1500, "03514455667", "0301000001", " ", false},
    {600, "0697770000", "0301000001", " ", false},  {30, "0302345678", "0301000001", "J", false},
};

void Tables() {
    CBase book;
    AddPhoneBookFields(book);
    if (!book.Create("Adressen.dbf")) std::exit(1);
    for (const Person& p : kPersonen) {
        book.PutField("NAME", p.name);
        book.PutField("VORNAME", p.vorname);
        book.PutField("STRASSE", p.strasse);
        book.PutField("PLZORT", p.plz);
        book.PutField("ORT", p.ort);
        book.PutField("TELEFON", p.telefon);
        book.PutField("INFO", "");
        book.Append();
        if (p.deleted) book.Delete(book.RecCount() - 1);
    }
    CBase log;
    log.AddField(0, "ZEIT", 'C', 10, 0);
    log.AddField(1, "ANRUFER", 'C', 20, 0);
    log.AddField(2, "GERUFENER", 'C', 20, 0);
    log.AddField(3, "ANG", 'C', 1, 0);
    if (!log.Create("Anrufe.dbf")) std::exit(1);
    const long now = 1733130000; // a Monday morning in December 2024
    for (const Anruf& a : kAnrufe) {
        log.PutField("ZEIT", std::to_string(now - 60L * a.minutesAgo));
        log.PutField("ANRUFER", a.anrufer);
        log.PutField("GERUFENER", a.gerufener);
        log.PutField("ANG", a.ang);
        log.Append();
        if (a.deleted) log.Delete(log.RecCount() - 1);
    }
}

void Shoot(QDialog& dlg, QTreeView* list, const std::string& file) {
    dlg.show();
    dlg.findChild<QCheckBox*>("ShowDeleted")->setChecked(true);
    list->setFocus();
    list->setCurrentIndex(list->model()->index(1, 0));
    QApplication::processEvents();
    if (!dlg.grab().save(QString::fromStdString(file))) std::exit(1);
    std::printf("%s\n", file.c_str());
}

} // namespace

int main(int argc, char** argv) {
    setenv("TZ", "Europe/Berlin", 1);
    QApplication app(argc, argv);
    const std::filesystem::path out = std::filesystem::absolute(argc > 1 ? argv[1] : ".");
    std::string work = (std::filesystem::temp_directory_path() / "cbshot-XXXXXX").string();
    if (!mkdtemp(work.data())) return 1;
    std::filesystem::current_path(work);
    Tables();
    {
        TDlgAnrufer dlg(nullptr);
        Shoot(dlg, dlg.List(), (out / "anrufer.png").string());
    }
    {
        TDlgTeilnehmer dlg(nullptr);
        Shoot(dlg, dlg.List(), (out / "telefonbuch.png").string());
    }
    if (argc > 2) {
        TDlgEditor editor(nullptr);
        tAnruf anruf;
        LoadEntry(anruf, 0);
        anruf.sInfo = "Kunde seit 1998\r\nR\xFC"
                      "ckruf bitte vormittags";
        editor.SetRecord(anruf, true);
        editor.show();
        QApplication::processEvents();
        const std::string file = std::filesystem::absolute(argv[2]).string();
        if (!editor.grab().save(QString::fromStdString(file))) return 1;
        std::printf("%s\n", file.c_str());
    }
    std::filesystem::current_path(out);
    std::filesystem::remove_all(work);
    return 0;
}
