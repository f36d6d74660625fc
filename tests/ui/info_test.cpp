// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Info.h"

#include "capi/CapiBase.h"
#include "parameter_support.h"
#include "platform/HelpViewer.h"
#include "ui/Resources.h"

#include <QFile>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <cstring>

namespace {

class InfoTest : public cbtest::SettingsFixture {
protected:
    void TearDown() override {
        SetDriverTexts("", "");
        SettingsFixture::TearDown();
    }
    static void SetDriverTexts(const char* manufacturer, const char* version) {
        std::memset(szCapiManufacturer, 0, sizeof szCapiManufacturer);
        std::memset(szCapiVersion, 0, sizeof szCapiVersion);
        std::strncpy(szCapiManufacturer, manufacturer, sizeof szCapiManufacturer - 1);
        std::strncpy(szCapiVersion, version, sizeof szCapiVersion - 1);
    }
};

TEST_F(InfoTest, WithoutDriverTheCapiLinesAreEmpty) {
    SetDriverTexts("", "");
    TDlgInfo dlg(nullptr);
    EXPECT_EQ(dlg.windowTitle(), "Info");
    EXPECT_EQ(dlg.ProgrammName->text(), "Version 1.50");
    EXPECT_TRUE(dlg.ProgrammName->font().bold());
    EXPECT_EQ(dlg.Label5->text(), "CBase engine 3.0");
    EXPECT_EQ(dlg.Label8->text(), "CAPI Hersteller");
    EXPECT_EQ(dlg.Label7->text(), "CAPI Version");
    EXPECT_EQ(dlg.Hersteller->text(), "") << "the design caption is replaced";
    EXPECT_EQ(dlg.CAPIVersion->text(), "");
}

TEST_F(InfoTest, WithDriverItsTextsShowAsTheyAre) {
    SetDriverTexts("AVM Berlin M\xfcller", "2.00 / 1.05");
    TDlgInfo first(nullptr);
    EXPECT_EQ(first.Hersteller->text(), QStringLiteral("AVM Berlin Müller"));
    EXPECT_EQ(first.CAPIVersion->text(), "2.00 / 1.05");
    // The whole text is visible, not cut to the design width.
    EXPECT_GE(first.Hersteller->width(), first.Hersteller->sizeHint().width());
    EXPECT_LE(first.Hersteller->geometry().right(), 418) << "stays left of the line";
    TDlgInfo second(nullptr);
    EXPECT_EQ(second.Hersteller->text(), first.Hersteller->text());
}

TEST_F(InfoTest, ClosesWithOkEnterAndEsc) {
    for (int key : {0, int(Qt::Key_Return), int(Qt::Key_Escape)}) {
        TDlgInfo dlg(nullptr);
        dlg.show();
        if (key == 0)
            dlg.BtnOk->click();
        else
            QTest::keyClick(&dlg, Qt::Key(key));
        EXPECT_FALSE(dlg.isVisible()) << key;
    }
}

TEST_F(InfoTest, F1AsksForTopic120) {
    std::vector<int> topics;
    cb::SetHelpHook([&](int topic) { topics.push_back(topic); });
    {
        TDlgInfo dlg(nullptr);
        dlg.show();
        QTest::keyClick(dlg.BtnOk, Qt::Key_F1);
    }
    cb::SetHelpHook(nullptr);
    EXPECT_EQ(topics, std::vector<int>{120});
}

TEST_F(InfoTest, PicturesHaveTheirSizes) {
    TDlgInfo dlg(nullptr);
    ASSERT_FALSE(dlg.Image3->pixmap().isNull());
    ASSERT_FALSE(dlg.Image2->pixmap().isNull());
    EXPECT_EQ(dlg.Image3->geometry(), QRect(10, 7, 310, 44));
    EXPECT_EQ(dlg.Image2->geometry(), QRect(437, 15, 144, 270));
    EXPECT_EQ(dlg.size(), QSize(592, 333));
}

// Mean colour of the opaque pixels: tells the white telephone from the red one.
QColor MeanOpaqueColour(const QImage& image) {
    double r = 0, g = 0, b = 0;
    int n = 0;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x) {
            const QColor c = argb.pixelColor(x, y);
            if (c.alpha() < 200) continue;
            r += c.red(), g += c.green(), b += c.blue(), ++n;
        }
    if (n == 0) return {};
    return QColor(int(r / n), int(g / n), int(b / n));
}

TEST(UiResources, TrayIconsLoadAtEverySizeAndLookTheirPart) {
    InitUiResources();
    const QIcon weiss = cb::TelefonWeissIcon();
    const QIcon rot = cb::TelefonRotIcon();
    const QIcon app = cb::ApplicationIcon();
    for (int size : {16, 22, 24, 32, 48}) {
        for (const QIcon* icon : {&weiss, &rot, &app}) {
            const QPixmap pixmap = icon->pixmap(size, size);
            ASSERT_FALSE(pixmap.isNull()) << size;
            EXPECT_EQ(pixmap.size(), QSize(size, size));
        }
        const QColor white = MeanOpaqueColour(weiss.pixmap(size, size).toImage());
        const QColor red = MeanOpaqueColour(rot.pixmap(size, size).toImage());
        EXPECT_GT(white.lightness(), 150) << size;
        EXPECT_GT(red.red(), 2 * red.green()) << size;
        EXPECT_GT(red.red(), 2 * red.blue()) << size;
    }
    for (const char* svg :
         {":/icons/telefon_weiss.svg", ":/icons/telefon_rot.svg", ":/icons/callbeacon.svg"})
        EXPECT_TRUE(QFile::exists(QString::fromLatin1(svg))) << svg;
}

// The help pages are compiled into this test as they are into the program.
QString HelpPage(const QString& name) {
    QFile file(QStringLiteral(":/help/") + name);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

TEST(HelpPages, EveryTopicExistsAndEveryLinkResolves) {
    const QStringList pages = {QStringLiteral("index.html"), QStringLiteral("102.html"),
                               QStringLiteral("106.html"),   QStringLiteral("110.html"),
                               QStringLiteral("120.html"),   QStringLiteral("130.html")};
    const QRegularExpression link(QStringLiteral("(?:href|src)=\"([^\"#]+)\""));
    for (const QString& page : pages) {
        const QString html = HelpPage(page);
        ASSERT_FALSE(html.isEmpty()) << page.toStdString();
        auto it = link.globalMatch(html);
        while (it.hasNext()) {
            const QString target = it.next().captured(1);
            const QString path = target.startsWith(QStringLiteral("qrc:"))
                                     ? target.mid(3)
                                     : QStringLiteral(":/help/") + target;
            EXPECT_TRUE(QFile::exists(path))
                << page.toStdString() << " -> " << target.toStdString();
        }
    }
    const QString index = HelpPage(QStringLiteral("index.html"));
    for (const QString& topic : pages.mid(1))
        EXPECT_TRUE(index.contains(QStringLiteral("href=\"%1\"").arg(topic)))
            << topic.toStdString();
    EXPECT_TRUE(index.contains(
        QStringLiteral("Contains data from GeoNames (CC BY 4.0), DB InfraGO AG (CC BY 4.0) and © "
                       "OpenStreetMap contributors (ODbL); area codes: Bundesnetzagentur.")));
    EXPECT_TRUE(index.contains(QStringLiteral("Natural Earth")));
}

} // namespace
