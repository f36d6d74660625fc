// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Anruf.h"

#include <QDialog>
#include <QImage>
#include <QWidget>

#include <string>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class TKVImage;

namespace cb {
class TFormPlacement;
}

// A transparent picture with a drawing surface of its own size: whatever is drawn on the
// canvas shows, everything else lets the widgets beneath show through.
class TCanvasImage : public QWidget {
    Q_OBJECT
public:
    explicit TCanvasImage(QWidget* parent);
    QImage& Canvas() { return canvas; }
    const QImage& Canvas() const { return canvas; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage canvas;
};

// The leading decimal number of a text, as the C library reads it ("." as the decimal
// point whatever the locale, blanks and sign allowed before it); 0 when the text does not
// begin with a number. "48,14" gives 48.
double LeadingNumber(const std::string& text);

// The caller pop-up: name, address, number and information text of one call, and a map of
// Germany on which the caller's area is marked. Closed with the button, Enter or Esc its tag
// is 1; closed by its own timer (live calls only) or any other way, 0.
class TDlgDetail : public QDialog {
    Q_OBJECT
public:
    explicit TDlgDetail(QWidget* owner);

    void SetRecord(const tAnruf& anruf, bool liveCall);
    int Tag() const { return iTag; }
    // An open live pop-up shows another call instead, with a fresh display time (when more
    // calls come than pop-ups may be open at once, the newest is always on screen).
    void ShowAnotherCall(const tAnruf& anruf);

    // The texts of the name line ("Vorname Name") and the place line for a record: "PLZ Ort"
    // of the entry or the area code; without those, sAvonOrt ("Schweiz", "Mobilfunk").
    static QString NameLine(const tAnruf& anruf);
    static QString PlaceLine(const tAnruf& anruf);
    // How the trace reports a pop-up: the name, " | ", the place line.
    static QString TraceText(const tAnruf& anruf);

    // Marks a place on the overlay: a red dot at the place's position in the map's frame,
    // its name beside it on the side towards the map's middle.
    void DrawPlace(const std::string& text, double latitude, double longitude);

    // The map's geographic frame; the drawing in the resources spans exactly this.
    static constexpr double kWest = 5.44;
    static constexpr double kNorth = 55.315;
    static constexpr long double kLonSpan = 9.84L;
    static constexpr long double kLatSpan = 8.265L;

    // Longest auto-close interval, about 23 days. A Qt timer holds an int of milliseconds, and
    // Qt's coarser timer types round long intervals to whole seconds, which must not overflow
    // either.
    static constexpr int kMaxIntervalMs = 2000000000;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void TimerTimer();
    void BtnSchliessenClick();
    void DrawUnknownPlace();
    QLabel* MakeLabel(const char* name, const QString& caption, int left, int top);

    tAnruf Record;
    bool bLiveCall = false;
    bool bCentred = true;
    int iTag = 0;

    QLabel* Label1;
    QLabel* Name;
    QLabel* Label2;
    QLabel* Strasse;
    QLabel* Label3;
    QLabel* Ort;
    QLabel* Label4;
    QLabel* Telefon;
    QLabel* Label5;
    QLabel* Info;
    TKVImage* Karte;
    TCanvasImage* Anzeige;
    QPushButton* BtnSchliessen;
    QTimer* Timer;
    cb::TFormPlacement* FormPlacement;
    QFrame* Bevel1;
    QFrame* Bevel2;
    QFrame* Bevel3;
    QFrame* Bevel4;
};
