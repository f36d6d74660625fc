// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ImportDialog.h"

#include "platform/ErrorBox.h"
#include "ui/TableString.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TDlgImport::TDlgImport(QWidget* owner, const QString& fileName, const tContactFile& file)
    : QDialog(owner) {
    setObjectName(QStringLiteral("DlgImport"));
    setWindowTitle(QStringLiteral("Kontakte importieren"));
    resize(640, 420);
    import.Prepare(file.aContacts, kPhoneBookFile);

    auto* layout = new QVBoxLayout(this);
    LblSummary = new QLabel(this);
    LblSummary->setObjectName(QStringLiteral("LblSummary"));
    LblSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(LblSummary);

    Vorschau = new QTreeWidget(this);
    Vorschau->setObjectName(QStringLiteral("Vorschau"));
    Vorschau->setRootIsDecorated(false);
    Vorschau->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Vorname"),
                               QStringLiteral("Telefon"), QStringLiteral("Info")});
    const auto& rows = import.Rows();
    for (size_t i = 0; i < rows.size() && i < size_t(kPreviewRows); ++i)
        new QTreeWidgetItem(Vorschau, {FromTable(rows[i].sName), FromTable(rows[i].sVorname),
                                       FromTable(rows[i].sTelefon), FromTable(rows[i].sInfo)});
    Vorschau->header()->resizeSections(QHeaderView::ResizeToContents);
    layout->addWidget(Vorschau, 1);

    Fortschritt = new QProgressBar(this);
    Fortschritt->setObjectName(QStringLiteral("Fortschritt"));
    Fortschritt->setRange(0, int(std::max<size_t>(import.Summary().iContacts, 1)));
    Fortschritt->setValue(0);
    Fortschritt->setVisible(false);
    layout->addWidget(Fortschritt);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    BtnImportieren = new QPushButton(QStringLiteral("&Importieren"), this);
    BtnImportieren->setObjectName(QStringLiteral("BtnImportieren"));
    BtnAbbrechen = new QPushButton(QStringLiteral("Abbrechen"), this);
    BtnAbbrechen->setObjectName(QStringLiteral("BtnAbbrechen"));
    buttons->addWidget(BtnImportieren);
    buttons->addWidget(BtnAbbrechen);
    layout->addLayout(buttons);

    const tImportSummary& s = import.Summary();
    QString head =
        QStringLiteral("Datei: %1 (%2)\n").arg(fileName, QString::fromStdString(file.sFormat));
    if (s.iRowsToAdd == 0) {
        head += QStringLiteral("Nichts Neues: alle Eintr\u00e4ge sind schon im Telefonbuch.\n");
        BtnImportieren->setEnabled(false);
    } else {
        head += QStringLiteral("Vorschau der ersten Eintr\u00e4ge; erst \u201eImportieren\u201c "
                               "schreibt sie ins Telefonbuch.\n");
    }
    LblSummary->setText(head + QString::fromStdString(ImportSummaryText(s, 0, false)));
    BtnImportieren->setDefault(BtnImportieren->isEnabled());

    connect(BtnImportieren, &QPushButton::clicked, this, &TDlgImport::Start);
    connect(BtnAbbrechen, &QPushButton::clicked, this, &TDlgImport::CancelOrClose);
}

QString TDlgImport::SummaryText() const {
    return LblSummary->text();
}

void TDlgImport::CancelOrClose() {
    if (bRunning)
        bCancelRequested = true; // the write stops at its next progress step
    else if (bFinished)
        accept();
    else
        reject();
}

void TDlgImport::Start() {
    if (bRunning || bFinished) return;
    bRunning = true;
    BtnImportieren->setEnabled(false);
    Fortschritt->setVisible(true);
    std::string error;
    const auto outcome = import.Apply(
        kPhoneBookFile,
        [this](size_t done, size_t) {
            Fortschritt->setValue(int(done));
            // Keeps the bar moving and the cancel button answering during the write.
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            QApplication::processEvents();
            return !bCancelRequested;
        },
        error);
    bRunning = false;
    bFinished = true;
    BtnAbbrechen->setText(QStringLiteral("Schlie\u00dfen"));
    BtnAbbrechen->setDefault(true);
    switch (outcome) {
    case CPhoneBookImport::Outcome::Done:
        bImported = import.RowsAdded() > 0;
        LblSummary->setText(
            QStringLiteral("Importiert:\n") +
            QString::fromStdString(ImportSummaryText(import.Summary(), import.RowsAdded(), true)));
        break;
    case CPhoneBookImport::Outcome::Cancelled:
        LblSummary->setText(QStringLiteral("Abgebrochen: das Telefonbuch ist unver\u00e4ndert."));
        break;
    case CPhoneBookImport::Outcome::Failed:
        LblSummary->setText(
            QStringLiteral("Nicht importiert: das Telefonbuch ist unver\u00e4ndert."));
        cb::ShowErrorBox(error);
        break;
    }
}
