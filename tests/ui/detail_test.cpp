// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Detail.h"

#include "core/Settings.h"
#include "support/TestSupport.h"
#include "ui/kvimage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>

namespace {

// Every test starts from the default settings and leaves them so.
class Detail : public ::testing::Test {
protected:
    void SetUp() override { ResetSettings(); }
    void TearDown() override {
        ResetSettings();
        SetSettingsFilePathOverride("");
    }
};

tAnruf Place(const std::string& place, const std::string& breite, const std::string& laenge) {
    tAnruf a;
    a.sName = "Mustermann";
    a.sAvonOrt = place;
    a.sBreite = breite;
    a.sLaenge = laenge;
    return a;
}

const QImage& Overlay(TDlgDetail& dlg) {
    return dlg.findChild<TCanvasImage*>(QStringLiteral("Anzeige"))->Canvas();
}

QTimer* TimerOf(TDlgDetail& dlg) {
    return dlg.findChild<QTimer*>(QStringLiteral("Timer"));
}

QString TextOf(TDlgDetail& dlg, const char* name) {
    return dlg.findChild<QLabel*>(QLatin1String(name))->text();
}

bool IsDot(QRgb p) {
    return qAlpha(p) == 255 && qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
}

// Bounding box of the painted pixels that pass the filter; empty when there are none.
QRect PaintedBox(const QImage& img, const std::function<bool(int, int)>& take) {
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) > 0 && take(x, y)) box |= QRect(x, y, 1, 1);
    return box;
}

QRect DotBox(const QImage& img) {
    return PaintedBox(img, [&](int x, int y) { return IsDot(img.pixel(x, y)); });
}

// Everything painted outside the 4 × 4 disc around (x, y): the name.
QRect TextBox(const QImage& img, int x, int y) {
    const QRect dot(x - 2, y - 2, 4, 4);
    return PaintedBox(img, [&](int px, int py) { return !dot.contains(px, py); });
}

// Shows the pop-up for a record and hands back its overlay.
QImage Shown(TDlgDetail& dlg, const tAnruf& a) {
    dlg.SetRecord(a, false);
    dlg.show();
    return Overlay(dlg);
}

int TextWidth(TDlgDetail& dlg, const QString& s) {
    return QFontMetrics(dlg.findChild<TCanvasImage*>(QStringLiteral("Anzeige"))->font())
        .horizontalAdvance(s);
}

void ExpectQuestionMarkOnly(const QImage& overlay) {
    EXPECT_TRUE(DotBox(overlay).isEmpty());
    const QRect mark = PaintedBox(overlay, [](int, int) { return true; });
    ASSERT_FALSE(mark.isEmpty());
    // Top-left corner at (154 div 2, 217 div 2), a few pixels of bearing allowed.
    EXPECT_GE(mark.left(), 77);
    EXPECT_LE(mark.left(), 79);
    EXPECT_GE(mark.top(), 108);
    EXPECT_LE(mark.top(), 112);
    EXPECT_LE(mark.right(), 77 + 12);
}

} // namespace

TEST_F(Detail, LayoutFollowsTheDesign) {
    TDlgDetail dlg(nullptr);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Anrufer Detailanzeige"));
    EXPECT_EQ(dlg.minimumSize(), QSize(483, 377));
    EXPECT_EQ(dlg.maximumSize(), QSize(483, 377));
    const Qt::WindowFlags flags = dlg.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(flags & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint));

    const struct {
        const char* name;
        QRect geometry;
    } fixed[] = {
        {"Name", {82, 10, 395, 36}},           {"Info", {184, 168, 284, 152}},
        {"Karte", {11, 151, 154, 217}},        {"Anzeige", {11, 151, 154, 217}},
        {"BtnSchliessen", {389, 336, 75, 25}}, {"Bevel3", {3, 3, 478, 372}},
        {"Bevel4", {9, 149, 156, 219}},        {"Bevel1", {70, 6, 2, 134}},
        {"Bevel2", {5, 140, 473, 2}},
    };
    for (const auto& c : fixed) {
        auto* w = dlg.findChild<QWidget*>(QLatin1String(c.name));
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(w->geometry(), c.geometry) << c.name;
    }
    const struct {
        const char* name;
        QPoint pos;
        const char* caption;
    } labels[] = {
        {"Label1", {17, 12}, "Name"},
        {"Label2", {17, 54}, "Straße"},
        {"Label3", {17, 84}, "PLZ, Ort"},
        {"Label4", {17, 113}, "Telefon"},
        {"Label5", {184, 151}, "Info"},
        {"Strasse", {83, 54}, ""},
        {"Ort", {83, 84}, ""},
        {"Telefon", {83, 113}, ""},
    };
    for (const auto& c : labels) {
        auto* l = dlg.findChild<QLabel*>(QLatin1String(c.name));
        ASSERT_NE(l, nullptr) << c.name;
        EXPECT_EQ(l->pos(), c.pos) << c.name;
        EXPECT_EQ(l->text(), QString::fromUtf8(c.caption)) << c.name;
    }

    auto* name = dlg.findChild<QLabel*>(QStringLiteral("Name"));
    EXPECT_EQ(name->font().pixelSize(), 32);
    EXPECT_EQ(name->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_FALSE(name->wordWrap());
    EXPECT_TRUE(dlg.findChild<QLabel*>(QStringLiteral("Info"))->wordWrap());
    for (const char* bold : {"Strasse", "Ort", "Telefon", "Info"})
        EXPECT_TRUE(dlg.findChild<QLabel*>(QLatin1String(bold))->font().bold()) << bold;
    auto* button = dlg.findChild<QPushButton*>(QStringLiteral("BtnSchliessen"));
    EXPECT_EQ(button->text(), QStringLiteral("&Schließen"));
    EXPECT_TRUE(button->isDefault());

    auto* karte = dlg.findChild<TKVImage*>(QStringLiteral("Karte"));
    EXPECT_TRUE(karte->Stretch());
    EXPECT_FALSE(karte->Center() || karte->Transparent() || karte->AutoSize());
    EXPECT_EQ(karte->Picture().Kind(), TKVPicture::TKind::Vector) << "map resource not found";
    EXPECT_EQ(karte->CalcDrawRect(), QRect(0, 0, 154, 217));
    EXPECT_EQ(dlg.Tag(), 0);
}

TEST_F(Detail, ShowsTheRecordsTexts) {
    tAnruf a;
    a.sVorname = "Erika";
    a.sName = "M\xfcller"; // Latin-1 from the table
    a.sStrasse = "Hauptstra\xdf"
                 "e 5";
    a.sPlz = "10115";
    a.sOrt = "Berlin";
    a.sTelefon = "0301234567";
    a.sInfo = "<b>kein Markup</b>";
    TDlgDetail dlg(nullptr);
    dlg.SetRecord(a, false);
    a.sName = "changed after SetRecord";
    dlg.show();
    EXPECT_EQ(TextOf(dlg, "Name"), QStringLiteral("Erika Müller"));
    EXPECT_EQ(TextOf(dlg, "Strasse"), QStringLiteral("Hauptstraße 5"));
    EXPECT_EQ(TextOf(dlg, "Ort"), QStringLiteral("10115 Berlin"));
    EXPECT_EQ(TextOf(dlg, "Telefon"), QStringLiteral("0301234567"));
    EXPECT_EQ(TextOf(dlg, "Info"), QStringLiteral("<b>kein Markup</b>"));
    EXPECT_EQ(dlg.findChild<QLabel*>(QStringLiteral("Info"))->textFormat(), Qt::PlainText);

    tAnruf bare;
    bare.sName = "089123456";
    bare.sOrt = "M\xfcnchen";
    TDlgDetail dlg2(nullptr);
    dlg2.SetRecord(bare, false);
    dlg2.show();
    EXPECT_EQ(TextOf(dlg2, "Name"), QStringLiteral("089123456"));
    EXPECT_EQ(TextOf(dlg2, "Ort"), QStringLiteral("München"));
}

TEST_F(Detail, NameStandsLeftOfADotInTheRightHalf) {
    TDlgDetail dlg(nullptr);
    const QImage ov = Shown(dlg, Place("Berlin", "52.52", "13.40"));
    // x = 124, y = 73: the 4 × 4 disc spans 122..125 and 71..74.
    const QRect dot = DotBox(ov);
    ASSERT_FALSE(dot.isEmpty());
    EXPECT_TRUE(QRect(122, 71, 4, 4).contains(dot)) << dot.x() << "," << dot.y();
    EXPECT_EQ(qAlpha(ov.pixel(124, 73)), 255);
    EXPECT_EQ(qAlpha(ov.pixel(126, 73)), 0);

    const int t = TextWidth(dlg, QStringLiteral("Berlin"));
    const QRect text = TextBox(ov, 124, 73);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_GE(text.left(), 124 - t - 7);
    EXPECT_LE(text.left(), 124 - t - 7 + 2);
    EXPECT_LE(text.right(), 124 - 7) << "ends 5 pixels left of the dot";
    EXPECT_GE(text.top(), 66);
    EXPECT_LE(text.top(), 70);
}

TEST_F(Detail, NameStandsRightOfADotInTheLeftHalf) {
    TDlgDetail dlg(nullptr);
    const QImage ov = Shown(dlg, Place("K\xf6ln", "50.94", "6.96"));
    EXPECT_TRUE(QRect(21, 112, 4, 4).contains(DotBox(ov)));
    const QRect text = TextBox(ov, 23, 114);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_GE(text.left(), 26);
    EXPECT_LE(text.left(), 28);
    EXPECT_GE(text.top(), 107);
    EXPECT_LE(text.top(), 111);
}

TEST_F(Detail, HalfwayBoundaryPutsTheNameLeft) {
    // Longitude 10.52 gives x = 79: x - 2 equals 154 div 2, so the name goes left.
    TDlgDetail left(nullptr);
    const QImage ovLeft = Shown(left, Place("Mitte", "51.0", "10.52"));
    // Latitude 51 gives y = 113.
    EXPECT_TRUE(QRect(77, 111, 4, 4).contains(DotBox(ovLeft)));
    EXPECT_LT(TextBox(ovLeft, 79, 113).right(), 77);

    // 10.45 gives x = 78 and 76 < 77: the name goes right.
    TDlgDetail right(nullptr);
    const QImage ovRight = Shown(right, Place("Mitte", "51.0", "10.45"));
    EXPECT_TRUE(QRect(76, 111, 4, 4).contains(DotBox(ovRight)));
    EXPECT_GE(TextBox(ovRight, 78, 113).left(), 81);
}

TEST_F(Detail, FrameCornerAndPointsOutsideAreClipped) {
    TDlgDetail corner(nullptr);
    const QImage ov = Shown(corner, Place("Ecke", "55.315", "5.44"));
    // Only the quarter of the disc inside the overlay remains.
    EXPECT_TRUE(QRect(0, 0, 2, 2).contains(DotBox(ov)));
    EXPECT_FALSE(DotBox(ov).isEmpty());

    // West of the frame: -0.6 truncates to 0, not -1, so the disc keeps two columns.
    TDlgDetail west(nullptr);
    const QImage ovWest = Shown(west, Place("West", "51.0", "5.40"));
    EXPECT_EQ(DotBox(ovWest).left(), 0);
    EXPECT_EQ(qAlpha(ovWest.pixel(1, 113)), 255);
    EXPECT_EQ(qAlpha(ovWest.pixel(2, 113)), 0);

    for (const char* far : {"1e300", "-1e300", "179.9", "-179.9"}) {
        TDlgDetail dlg(nullptr);
        const QImage o = Shown(dlg, Place(std::string(300, 'x'), far, far));
        EXPECT_TRUE(PaintedBox(o, [](int, int) { return true; }).isEmpty()) << far;
    }
}

TEST_F(Detail, UnknownPlaceShowsAQuestionMark) {
    const struct {
        const char* breite;
        const char* laenge;
    } unknown[] = {{"", ""},        {"48.14", ""},   {"0", "11.5"},   {"48.1", "0.0"},
                   {"abc", "11.5"}, {"nan", "11.5"}, {"48.1", "inf"}, {"1e999", "11.5"}};
    for (const auto& u : unknown) {
        SCOPED_TRACE(std::string(u.breite) + " / " + u.laenge);
        TDlgDetail dlg(nullptr);
        ExpectQuestionMarkOnly(Shown(dlg, Place("Irgendwo", u.breite, u.laenge)));
    }
    // An empty record: empty labels and the question mark.
    TDlgDetail empty(nullptr);
    ExpectQuestionMarkOnly(Shown(empty, tAnruf()));
    EXPECT_TRUE(TextOf(empty, "Name").isEmpty());
}

TEST_F(Detail, DecimalCommaCountsTheWholeDegreeOnly) {
    // 48,14 / 11,58 read as 48 / 11: x = 87, y = 192.
    TDlgDetail dlg(nullptr);
    EXPECT_TRUE(QRect(85, 190, 4, 4).contains(DotBox(Shown(dlg, Place("M", "48,14", "11,58")))));
}

TEST(LeadingNumber, ReadsTheLeadingDecimalNumberLikeTheCLibrary) {
    EXPECT_EQ(LeadingNumber(""), 0);
    EXPECT_EQ(LeadingNumber("abc"), 0);
    EXPECT_EQ(LeadingNumber("48,14"), 48);
    EXPECT_DOUBLE_EQ(LeadingNumber(" \t+13.4abc"), 13.4);
    EXPECT_DOUBLE_EQ(LeadingNumber("-7.25"), -7.25);
    EXPECT_DOUBLE_EQ(LeadingNumber(".5"), 0.5);
    EXPECT_DOUBLE_EQ(LeadingNumber("5."), 5);
    EXPECT_DOUBLE_EQ(LeadingNumber("1e3x"), 1000);
    EXPECT_DOUBLE_EQ(LeadingNumber("1e"), 1);
    EXPECT_DOUBLE_EQ(LeadingNumber("52.5244   "), 52.5244);
    EXPECT_EQ(LeadingNumber("+-5"), 0);
    EXPECT_EQ(LeadingNumber("--5"), 0);
    EXPECT_EQ(LeadingNumber("- 5"), 0);
    EXPECT_TRUE(std::isnan(LeadingNumber("nan")));
    EXPECT_TRUE(std::isinf(LeadingNumber("-inf")));
    EXPECT_EQ(LeadingNumber("1e999"), 0) << "out of range";
    EXPECT_EQ(LeadingNumber(std::string(5000, '9')), 0);
}

TEST_F(Detail, TimerClosesALiveCallWithTagZero) {
    iSekunden = 1;
    // A timer allowed to fire a little early does so in most runs; three catch it.
    for (int run = 0; run < 3; ++run) {
        TDlgDetail dlg(nullptr);
        dlg.SetRecord(Place("Berlin", "52.52", "13.40"), true);
        // Guard against a pop-up that never closes.
        QTimer::singleShot(10000, &dlg, [&] { dlg.findChild<QPushButton*>()->click(); });
        QElapsedTimer clock;
        clock.start();
        const int result = dlg.exec();
        EXPECT_GE(clock.elapsed(), 1000) << "not before the display time is over";
        EXPECT_EQ(dlg.Tag(), 0);
        EXPECT_EQ(result, 0);
        EXPECT_FALSE(TimerOf(dlg)->isActive());
    }
}

TEST_F(Detail, EnterEscAndTheButtonGiveTagOne) {
    iSekunden = 10;
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        TDlgDetail dlg(nullptr);
        dlg.SetRecord(Place("Berlin", "52.52", "13.40"), true);
        QTimer::singleShot(50, &dlg, [&] {
            EXPECT_TRUE(TimerOf(dlg)->isActive());
            EXPECT_EQ(TimerOf(dlg)->interval(), 10000);
            QTest::keyClick(&dlg, key);
        });
        EXPECT_EQ(dlg.exec(), 1) << key;
        EXPECT_EQ(dlg.Tag(), 1) << key;
        EXPECT_FALSE(TimerOf(dlg)->isActive());
    }
    TDlgDetail clicked(nullptr);
    QTimer::singleShot(0, &clicked, [&] {
        QTest::mouseClick(clicked.findChild<QPushButton*>(QStringLiteral("BtnSchliessen")),
                          Qt::LeftButton);
    });
    clicked.exec();
    EXPECT_EQ(clicked.Tag(), 1);

    // Closing the window any other way leaves the tag at 0.
    TDlgDetail closed(nullptr);
    QTimer::singleShot(0, &closed, [&] { closed.close(); });
    closed.exec();
    EXPECT_EQ(closed.Tag(), 0);
}

TEST_F(Detail, PopUpsWithoutATimeStayOpen) {
    // From the history (no live call), and live calls whose display time is 0 or negative.
    const struct {
        bool live;
        int32_t seconds;
    } cases[] = {{false, 1}, {true, 0}, {true, -5}, {true, INT32_MIN}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        iSekunden = c.seconds;
        TDlgDetail dlg(nullptr);
        dlg.SetRecord(Place("Berlin", "52.52", "13.40"), c.live);
        dlg.show();
        QTest::qWait(c.live ? 200 : 1300);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_FALSE(TimerOf(dlg)->isActive());
        EXPECT_EQ(dlg.Tag(), 0);
    }
}

TEST_F(Detail, HugeDisplayTimeIsClampedToTheLongestTimer) {
    iSekunden = 2000000000;
    TDlgDetail dlg(nullptr);
    dlg.SetRecord(Place("Berlin", "52.52", "13.40"), true);
    dlg.show();
    QTest::qWait(100);
    EXPECT_TRUE(dlg.isVisible());
    ASSERT_TRUE(TimerOf(dlg)->isActive());
    EXPECT_EQ(TimerOf(dlg)->interval(), TDlgDetail::kMaxIntervalMs);
    EXPECT_GT(TimerOf(dlg)->remainingTime(), 1000000);

    iSekunden = INT32_MAX;
    TDlgDetail most(nullptr);
    most.SetRecord(tAnruf(), true);
    most.show();
    EXPECT_EQ(TimerOf(most)->interval(), TDlgDetail::kMaxIntervalMs);
}

TEST_F(Detail, LongTextsStayInsideTheForm) {
    tAnruf a = Place(std::string(300, 'W'), "48.14", "11.58");
    a.sName = std::string(120, 'N');
    a.sStrasse = std::string(300, 'S');
    a.sOrt = std::string(300, 'O');
    a.sPlz = "12345";
    a.sTelefon = std::string(300, '9');
    a.sInfo.clear();
    for (int i = 0; i < 50; ++i)
        a.sInfo += "info ";
    ASSERT_EQ(a.sInfo.size(), 250u);
    TDlgDetail dlg(nullptr);
    const QImage ov = Shown(dlg, a);
    for (const char* name : {"Strasse", "Ort", "Telefon"}) {
        auto* l = dlg.findChild<QLabel*>(QLatin1String(name));
        EXPECT_LE(l->geometry().right(), 477) << name;
        EXPECT_GT(l->width(), 300) << name;
    }
    EXPECT_EQ(dlg.findChild<QLabel*>(QStringLiteral("Info"))->geometry(),
              QRect(184, 168, 284, 152));
    EXPECT_EQ(dlg.findChild<QLabel*>(QStringLiteral("Name"))->geometry(), QRect(82, 10, 395, 36));
    EXPECT_EQ(ov.size(), QSize(154, 217));
    // München lies in the right half: the long name runs off the overlay's left edge.
    EXPECT_EQ(TextBox(ov, 93, 192).left(), 0);
    EXPECT_FALSE(DotBox(ov).isEmpty());
}

TEST_F(Detail, RemembersItsPlaceWhenAsked) {
    cbtest::TempDir dir;
    const std::string ini = dir.file("callbeacon.INI");
    SetSettingsFilePathOverride(ini);
    bPosSpeichern = true;
    {
        TDlgDetail dlg(nullptr);
        dlg.show();
        dlg.move(140, 120);
        QApplication::processEvents();
        dlg.close();
    }
    const std::string stored = cbtest::ReadWholeFile(ini);
    EXPECT_NE(stored.find("[WndDetail]"), std::string::npos) << stored;
    {
        TDlgDetail dlg(nullptr);
        dlg.show();
        EXPECT_EQ(dlg.pos(), QPoint(140, 120));
        dlg.close();
    }

    // Without PosSpeichern nothing is stored and the pop-up opens centred.
    cbtest::TempDir other;
    const std::string ini2 = other.file("callbeacon.INI");
    SetSettingsFilePathOverride(ini2);
    bPosSpeichern = false;
    TDlgDetail dlg(nullptr);
    dlg.show();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((dlg.frameGeometry().center() - screen.center()).manhattanLength(), 1);
    dlg.move(10, 10);
    dlg.close();
    EXPECT_FALSE(std::filesystem::exists(ini2));
}

namespace {

TEST_F(Detail, LongNamesEndInAnEllipsisAndWindowsCharactersShow) {
    tAnruf a;
    a.sVorname = "Maximilian-Alexander";
    a.sName = "Wolkenstein-Hohenzollern \x96 B\xFCro \x80";
    a.sStrasse = std::string(60, 'S');
    a.sOrt = "Vereinigtes K\xF6nigreich";
    TDlgDetail dlg(nullptr);
    dlg.SetRecord(a, false);
    dlg.show();
    const QString full =
        QString::fromUtf8("Maximilian-Alexander Wolkenstein-Hohenzollern – Büro €");
    auto* name = dlg.findChild<QLabel*>(QStringLiteral("Name"));
    ASSERT_GT(name->fontMetrics().horizontalAdvance(full), name->width()); // the case in point
    EXPECT_TRUE(name->text().endsWith(QChar(0x2026))) << name->text().toStdString();
    EXPECT_TRUE(full.startsWith(name->text().chopped(1)));
    EXPECT_LE(name->fontMetrics().horizontalAdvance(name->text()), name->width());
    EXPECT_EQ(name->toolTip(), full);
    EXPECT_TRUE(TextOf(dlg, "Strasse").endsWith(QChar(0x2026)));
    EXPECT_EQ(TextOf(dlg, "Ort"), QString::fromUtf8("Vereinigtes Königreich"));
    EXPECT_EQ(dlg.findChild<QLabel*>(QStringLiteral("Ort"))->toolTip(), QString());

    EXPECT_EQ(TDlgDetail::PlaceLine(a), QString::fromUtf8("Vereinigtes Königreich"));
    a.sPlz = "10115";
    a.sOrt = "Berlin";
    EXPECT_EQ(TDlgDetail::TraceText(a),
              QString::fromUtf8("Wolkenstein-Hohenzollern – Büro € | 10115 Berlin"));
}

} // namespace
