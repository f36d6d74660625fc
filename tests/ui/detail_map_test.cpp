// SPDX-License-Identifier: GPL-3.0-or-later
// The map under the pop-up's overlay must show each place where the dot for it lands.
#include "ui/Detail.h"

#include "support/TestSupport.h"
#include "ui/kvimage.h"

#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

namespace {

struct AreaRow {
    std::string ort, breite, laenge;
};

// Rows of the area-code source table by code.
std::map<std::string, AreaRow> AreaCodes() {
    const char* src = std::getenv("CB_SOURCE_DIR");
    std::ifstream in(std::string(src ? src : ".") + "/data/area-codes.csv");
    std::map<std::string, AreaRow> rows;
    std::string line;
    while (std::getline(in, line)) {
        std::stringstream ss(line);
        std::string code, ort, plz, breite, laenge;
        std::getline(ss, code, ';');
        std::getline(ss, ort, ';');
        std::getline(ss, plz, ';');
        std::getline(ss, breite, ';');
        std::getline(ss, laenge, ';');
        rows[code] = {ort, breite, laenge};
    }
    return rows;
}

QByteArray MapSvg() {
    TDlgDetail registersTheResource(nullptr);
    QFile file(QStringLiteral(":/map/karte.svg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QColor GermanyFill(const QByteArray& svg) {
    const auto m = QRegularExpression(QStringLiteral("id=\"germany\" fill=\"(#[0-9a-fA-F]{6})\""))
                       .match(QString::fromUtf8(svg));
    return m.hasMatch() ? QColor(m.captured(1)) : QColor();
}

// Every colour the drawing uses: sea, land, Germany and their borders.
std::vector<QColor> Palette(const QByteArray& svg) {
    std::vector<QColor> colours;
    auto it = QRegularExpression(QStringLiteral("(?:fill|stroke)=\"(#[0-9a-fA-F]{6})\""))
                  .globalMatch(QString::fromUtf8(svg));
    while (it.hasNext())
        colours.emplace_back(it.next().captured(1));
    return colours;
}

QColor Nearest(QColor c, const std::vector<QColor>& palette) {
    QColor best;
    int bestDistance = INT_MAX;
    for (const QColor& p : palette) {
        const int d = std::abs(c.red() - p.red()) + std::abs(c.green() - p.green()) +
                      std::abs(c.blue() - p.blue());
        if (d < bestDistance) bestDistance = d, best = p;
    }
    return best;
}

const char* const kCities[] = {"030", "089", "040", "0221", "0761", "0461", "03581"};

} // namespace

TEST(DetailMap, CitiesLieInsideTheGermanOutline) {
    const QByteArray svg = MapSvg();
    ASSERT_FALSE(svg.isEmpty());
    const QColor germany = GermanyFill(svg);
    ASSERT_TRUE(germany.isValid());

    // The outline alone, without border strokes, at the drawing's own resolution.
    QByteArray fillsOnly = svg;
    fillsOnly.replace("stroke-width=", "data-w=");
    fillsOnly.replace(" stroke=", " data-s=");
    QSvgRenderer renderer(fillsOnly);
    ASSERT_TRUE(renderer.isValid());
    const QSize size = renderer.defaultSize();
    QImage big(size, QImage::Format_RGB32);
    big.fill(Qt::white);
    QPainter painter(&big);
    renderer.render(&painter);
    painter.end();

    const auto rows = AreaCodes();
    for (const char* code : kCities) {
        const auto it = rows.find(code);
        ASSERT_NE(it, rows.end()) << code;
        const double lat = LeadingNumber(it->second.breite);
        const double lon = LeadingNumber(it->second.laenge);
        const int x = static_cast<int>((lon - TDlgDetail::kWest) / 9.84 * size.width());
        const int y = static_cast<int>((TDlgDetail::kNorth - lat) / 8.265 * size.height());
        EXPECT_EQ(QColor(big.pixel(x, y)), germany) << it->second.ort << " at " << x << "," << y;
    }
}

TEST(DetailMap, DotOfEachCityLandsOnGermanyInThePopUp) {
    const QByteArray svg = MapSvg();
    const QColor germany = GermanyFill(svg);
    const auto palette = Palette(svg);
    ASSERT_GE(palette.size(), 5u);
    const auto rows = AreaCodes();
    for (const char* code : kCities) {
        const AreaRow& row = rows.at(code);
        SCOPED_TRACE(row.ort);
        tAnruf a;
        a.sAvonOrt = row.ort;
        a.sBreite = row.breite;
        a.sLaenge = row.laenge;
        TDlgDetail dlg(nullptr);
        dlg.SetRecord(a, false);
        dlg.show();
        const QImage overlay = dlg.findChild<TCanvasImage*>(QStringLiteral("Anzeige"))->Canvas();
        const QImage map = dlg.findChild<TKVImage*>(QStringLiteral("Karte"))->grab().toImage();
        ASSERT_EQ(map.size(), overlay.size());
        // The disc spans x - 2 .. x + 1, its red inside x - 1 .. x.
        QRect dot;
        for (int py = 0; py < overlay.height(); ++py)
            for (int px = 0; px < overlay.width(); ++px) {
                const QRgb p = overlay.pixel(px, py);
                if (qAlpha(p) == 255 && qRed(p) > 200 && qGreen(p) < 60) dot |= QRect(px, py, 1, 1);
            }
        ASSERT_FALSE(dot.isEmpty());
        const QPoint at = dot.topLeft() + QPoint(1, 1);
        // Within a pixel of the dot the map shows Germany: its pixels are mixed where a
        // border runs through, and Görlitz and Flensburg lie at one.
        bool found = false;
        for (int dy = -1; dy <= 1 && !found; ++dy)
            for (int dx = -1; dx <= 1 && !found; ++dx)
                found = Nearest(QColor(map.pixel(at + QPoint(dx, dy))), palette) == germany;
        EXPECT_TRUE(found) << "dot at " << at.x() << "," << at.y();
    }
}
