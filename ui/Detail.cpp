// SPDX-License-Identifier: GPL-3.0-or-later
#include "Detail.h"

#include "ui/Placement.h"

#include "core/Settings.h"
#include "platform/FormPlacement.h"
#include "ui/TableString.h"
#include "ui/kvimage.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

// Q_INIT_RESOURCE must not be used inside a namespace; cb_ui is a static library, so the map
// in its resources has to be registered before the first pop-up loads it.
static void InitMapResource() {
    static const bool done = [] {
        Q_INIT_RESOURCE(map);
        return true;
    }();
    (void)done;
}

namespace {

constexpr int kClientWidth = 483;
constexpr int kClientHeight = 377;
// Value labels end at the inner edge of the surrounding frame; longer texts end in "…" there.
constexpr int kValueRight = 477;

// A one-line text that does not fit `width` pixels of the label's font ends in "…", so it is
// never cut inside a letter. The whole text stays in the tool tip.
void SetElidedText(QLabel* label, const QString& text, int width) {
    const QString shown = label->fontMetrics().elidedText(text, Qt::ElideRight, std::max(0, width));
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
}

QFont SansFont(int pixelSize, bool bold = false) {
    QFont font;
    // Arial where it is installed; the metric-compatible Liberation Sans (or Arimo) otherwise.
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

QFrame* MakeBevel(QWidget* parent, const char* name, QFrame::Shape shape, QFrame::Shadow shadow,
                  const QRect& geometry) {
    auto* bevel = new QFrame(parent);
    bevel->setObjectName(QLatin1String(name));
    bevel->setFrameShape(shape);
    bevel->setFrameShadow(shadow);
    bevel->setGeometry(geometry);
    return bevel;
}

// Far enough outside any overlay that nothing drawn there can show, near enough that the
// drawing arithmetic cannot overflow.
constexpr long double kFarOutside = 1e6L;

int TruncateToPixel(long double v) {
    if (v > kFarOutside) v = kFarOutside;
    if (v < -kFarOutside) v = -kFarOutside;
    return static_cast<int>(v); // toward zero
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TCanvasImage

TCanvasImage::TCanvasImage(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    canvas = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
}

void TCanvasImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, canvas);
}

void TCanvasImage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (canvas.size() == size()) return;
    QImage grown(size(), QImage::Format_ARGB32_Premultiplied);
    grown.fill(Qt::transparent);
    QPainter painter(&grown);
    painter.drawImage(0, 0, canvas);
    painter.end();
    canvas = std::move(grown);
}

// ---------------------------------------------------------------------------------------------

double LeadingNumber(const std::string& text) {
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end &&
           (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r'))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // from_chars takes a minus of its own; a second sign is no number.
    if (p == end || *p == '+' || *p == '-') return 0;
    double value = 0;
    const auto result = std::from_chars(p, end, value, std::chars_format::general);
    // A number beyond the range of a double counts as no number.
    if (result.ec != std::errc()) return 0;
    return negative ? -value : value;
}

// ---------------------------------------------------------------------------------------------
// TDlgDetail

TDlgDetail::TDlgDetail(QWidget* owner) : QDialog(owner) {
    InitMapResource();
    setObjectName(QStringLiteral("DlgDetail"));
    setWindowTitle(QStringLiteral("Anrufer Detailanzeige"));
    // A small tool window on top of everything, caption without buttons, not resizable.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(SansFont(12));

    Bevel3 = MakeBevel(this, "Bevel3", QFrame::Box, QFrame::Sunken, QRect(3, 3, 478, 372));
    Bevel4 = MakeBevel(this, "Bevel4", QFrame::Box, QFrame::Raised, QRect(9, 149, 156, 219));
    Bevel1 = MakeBevel(this, "Bevel1", QFrame::VLine, QFrame::Sunken, QRect(70, 6, 2, 134));
    Bevel2 = MakeBevel(this, "Bevel2", QFrame::HLine, QFrame::Sunken, QRect(5, 140, 473, 2));

    Label1 = MakeLabel("Label1", QStringLiteral("Name"), 17, 12);
    Name = MakeLabel("Name", QString(), 82, 10);
    Name->setFont(SansFont(32));
    SetTextColour(Name, Qt::red);
    Name->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Name->setGeometry(82, 10, 395, 36);

    Label2 = MakeLabel("Label2", QStringLiteral("Straße"), 17, 54);
    Strasse = MakeLabel("Strasse", QString(), 83, 54);
    Strasse->setFont(SansFont(12, true));
    Label3 = MakeLabel("Label3", QStringLiteral("PLZ, Ort"), 17, 84);
    Ort = MakeLabel("Ort", QString(), 83, 84);
    Ort->setFont(SansFont(12, true));
    SetTextColour(Ort, Qt::black);
    Label4 = MakeLabel("Label4", QStringLiteral("Telefon"), 17, 113);
    Telefon = MakeLabel("Telefon", QString(), 83, 113);
    Telefon->setFont(SansFont(12, true));
    SetTextColour(Telefon, Qt::black);

    Label5 = MakeLabel("Label5", QStringLiteral("Info"), 184, 151);
    Info = MakeLabel("Info", QString(), 184, 168);
    Info->setFont(SansFont(12, true));
    SetTextColour(Info, Qt::black);
    Info->setWordWrap(true);
    Info->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Info->setGeometry(184, 168, 284, 152);

    Karte = new TKVImage(this);
    Karte->setObjectName(QStringLiteral("Karte"));
    Karte->setGeometry(11, 151, 154, 217);
    Karte->SetStretch(true);
    Karte->Picture().LoadFromFile(QStringLiteral(":/map/karte.svg"));

    // Created after the map, so it lies on top of it.
    Anzeige = new TCanvasImage(this);
    Anzeige->setObjectName(QStringLiteral("Anzeige"));

    BtnSchliessen = new QPushButton(QStringLiteral("&Schließen"), this);
    BtnSchliessen->setObjectName(QStringLiteral("BtnSchliessen"));
    BtnSchliessen->setGeometry(389, 336, 75, 25);
    BtnSchliessen->setDefault(true);
    connect(BtnSchliessen, &QPushButton::clicked, this, &TDlgDetail::BtnSchliessenClick);

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    // A coarse timer may fire up to 5 % early, so a 10 s pop-up would close after 9.5 s.
    Timer->setTimerType(Qt::PreciseTimer);
    connect(Timer, &QTimer::timeout, this, &TDlgDetail::TimerTimer);

    FormPlacement = PlaceDialog(this, QStringLiteral("WndDetail"), false);
    FormCreate();
}

QLabel* TDlgDetail::MakeLabel(const char* name, const QString& caption, int left, int top) {
    auto* label = new QLabel(caption, this);
    label->setObjectName(QLatin1String(name));
    // Names and info texts are data, never markup.
    label->setTextFormat(Qt::PlainText);
    label->move(left, top);
    label->adjustSize();
    return label;
}

void TDlgDetail::FormCreate() {
    bCentred = !FormPlacement->Active();
    Anzeige->setGeometry(Karte->geometry());
}

void TDlgDetail::SetRecord(const tAnruf& anruf, bool liveCall) {
    Record = anruf;
    bLiveCall = liveCall;
}

void TDlgDetail::ShowAnotherCall(const tAnruf& anruf) {
    Record = anruf;
    Anzeige->Canvas().fill(Qt::transparent);
    FormShow();
    raise();
}

void TDlgDetail::showEvent(QShowEvent* event) {
    // Centred with its frame, which is known only once the window exists.
    if (bCentred && !event->spontaneous()) CentreOnScreen(this);
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TDlgDetail::hideEvent(QHideEvent* event) {
    Timer->stop();
    QDialog::hideEvent(event);
}

void TDlgDetail::keyPressEvent(QKeyEvent* event) {
    // Esc is the button's too; the dialog's own Esc would close with tag 0.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        BtnSchliessenClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TDlgDetail::FormShow() {
    const auto setValue = [](QLabel* label, const QString& value) {
        const int room = std::max(0, kValueRight - label->x());
        SetElidedText(label, value, room);
        const QSize hint = label->sizeHint();
        label->resize(std::min(hint.width(), room), hint.height());
    };

    SetElidedText(Name, NameLine(Record), Name->width());
    setValue(Strasse, FromTable(Record.sStrasse));
    setValue(Ort, PlaceLine(Record));
    setValue(Telefon, FromTable(Record.sTelefon));
    // The editor stores line breaks of the memo as CR LF.
    Info->setText(FromTable(Record.sInfo).replace(QLatin1String("\r\n"), QLatin1String("\n")));

    const double longitude = LeadingNumber(Record.sLaenge);
    const double latitude = LeadingNumber(Record.sBreite);
    if (longitude != 0 && latitude != 0)
        DrawPlace(Record.sAvonOrt, latitude, longitude);
    else
        DrawUnknownPlace();

    // A display time of 0 or less keeps the pop-up open; Qt would fire a 0 ms timer at once.
    Timer->stop();
    if (bLiveCall && iSekunden > 0) {
        const int64_t ms = static_cast<int64_t>(iSekunden) * 1000;
        Timer->setInterval(static_cast<int>(std::min<int64_t>(ms, kMaxIntervalMs)));
        Timer->start();
    } else {
        Timer->setInterval(0);
    }
}

QString TDlgDetail::NameLine(const tAnruf& anruf) {
    return FromTable(anruf.sVorname.empty() ? anruf.sName : anruf.sVorname + ' ' + anruf.sName);
}

QString TDlgDetail::PlaceLine(const tAnruf& anruf) {
    // Without a town of its own the caller's number says where it is from or what it is.
    if (anruf.sPlz.empty() && anruf.sOrt.empty()) return FromTable(anruf.sAvonOrt);
    return FromTable(anruf.sPlz.empty() ? anruf.sOrt : anruf.sPlz + ' ' + anruf.sOrt);
}

QString TDlgDetail::TraceText(const tAnruf& anruf) {
    return FromTable(anruf.sName) + QStringLiteral(" | ") + PlaceLine(anruf);
}

void TDlgDetail::DrawUnknownPlace() {
    QPainter painter(&Anzeige->Canvas());
    painter.setFont(Anzeige->font());
    painter.setPen(Qt::black);
    painter.drawText(Anzeige->width() / 2, Anzeige->height() / 2 + painter.fontMetrics().ascent(),
                     QStringLiteral("?"));
    painter.end();
    Anzeige->update();
}

void TDlgDetail::DrawPlace(const std::string& text, double latitude, double longitude) {
    const int w = Anzeige->width();
    const int h = Anzeige->height();
    const long double k1 = 1.0L / kLonSpan;
    const long double k2 = 1.0L / kLatSpan;
    const long double fx = static_cast<long double>(w) *
                           (static_cast<long double>(longitude) - static_cast<long double>(kWest)) *
                           k1;
    const long double fy = static_cast<long double>(h) *
                           (static_cast<long double>(kNorth) - static_cast<long double>(latitude)) *
                           k2;
    // A position that is no number at all cannot be placed anywhere.
    if (!std::isfinite(fx) || !std::isfinite(fy)) {
        DrawUnknownPlace();
        return;
    }
    const int x = TruncateToPixel(fx);
    const int y = TruncateToPixel(fy);

    QPainter painter(&Anzeige->Canvas());
    painter.setFont(Anzeige->font());
    painter.setPen(Qt::black);
    const QString name = FromTable(text);
    const int ascent = painter.fontMetrics().ascent();
    if (x - 2 < w / 2) {
        painter.drawText(x + 3, y - 7 + ascent, name);
    } else {
        const int t = painter.fontMetrics().horizontalAdvance(name);
        painter.drawText(x - t - 7, y - 7 + ascent, name);
    }
    // A 4 × 4 disc: red, black outline, drawn over the text where they meet.
    painter.setBrush(Qt::red);
    painter.drawEllipse(QRect(x - 2, y - 2, 3, 3));
    painter.end();
    Anzeige->update();
}

void TDlgDetail::TimerTimer() {
    Timer->stop();
    iTag = 0;
    done(iTag);
}

void TDlgDetail::BtnSchliessenClick() {
    Timer->stop();
    iTag = 1;
    done(iTag);
}
