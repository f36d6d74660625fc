// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/kvimage.h"

#include "support/TestSupport.h"

#include <QApplication>
#include <QPainter>

#include <gtest/gtest.h>

#include <vector>

namespace {

QRect Calc(int w, int h, int pw, int ph, bool stretch, bool center) {
    return TKVImage::CalcDrawRect(w, h, pw, ph, stretch, center);
}

QImage Solid(int w, int h, QColor colour, QImage::Format format = QImage::Format_RGB32) {
    QImage image(w, h, format);
    image.fill(colour);
    return image;
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++count;
        return false;
    }
};

// A parent with a known background, the control on it at (10, 10).
struct Stage {
    QWidget parent;
    TKVImage* image;
    Stage(int w, int h) {
        parent.resize(200, 250);
        parent.setAutoFillBackground(true);
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, Qt::white);
        parent.setPalette(pal);
        image = new TKVImage(&parent);
        image->setGeometry(10, 10, w, h);
    }
    QImage Grab() { return image->grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

} // namespace

TEST(KVImageCalcDrawRect, StretchKeepsAspectAndCentres) {
    EXPECT_EQ(Calc(100, 100, 200, 100, true, false), QRect(0, 0, 100, 50));
    EXPECT_EQ(Calc(100, 100, 200, 100, true, true), QRect(0, 25, 100, 50));
    EXPECT_EQ(Calc(100, 200, 50, 50, true, false), QRect(0, 0, 100, 100));
    EXPECT_EQ(Calc(100, 200, 50, 50, true, true), QRect(0, 50, 100, 100));
    // The pop-up's control with a picture of slightly narrower aspect.
    EXPECT_EQ(Calc(154, 217, 658, 934, true, false), QRect(0, 0, 153, 217));
    // The generated map has the control's aspect and fills it exactly.
    EXPECT_EQ(Calc(154, 217, 1540, 2170, true, false), QRect(0, 0, 154, 217));
}

TEST(KVImageCalcDrawRect, ScaledSizesRoundHalvesToEven) {
    // s = 2: 5 / 2 = 2.5 goes down to 2, 7 / 2 = 3.5 up to 4.
    EXPECT_EQ(Calc(4, 10, 8, 5, true, false), QRect(0, 0, 4, 2));
    EXPECT_EQ(Calc(4, 10, 8, 7, true, false), QRect(0, 0, 4, 4));
}

TEST(KVImageCalcDrawRect, CentreWithoutStretchHalvesTowardZero) {
    EXPECT_EQ(Calc(100, 100, 30, 20, false, true), QRect(35, 40, 30, 20));
    // (100 - 151) div 2 is -25, not -26.
    EXPECT_EQ(Calc(100, 100, 151, 10, false, true), QRect(-25, 45, 151, 10));
    EXPECT_EQ(Calc(100, 100, 151, 301, false, true).topLeft(), QPoint(-25, -100));
    EXPECT_EQ(Calc(100, 100, 151, 10, false, false), QRect(0, 0, 151, 10));
}

TEST(KVImageCalcDrawRect, ZeroSizesWithStretchDrawNothing) {
    EXPECT_TRUE(Calc(0, 100, 50, 50, true, false).isEmpty());
    EXPECT_TRUE(Calc(100, 0, 50, 50, true, true).isEmpty());
    EXPECT_TRUE(Calc(100, 100, 0, 50, true, false).isEmpty());
    EXPECT_TRUE(Calc(100, 100, 50, 0, true, true).isEmpty());

    Stage stage(0, 0);
    stage.image->SetStretch(true);
    stage.image->Picture().SetBitmap(Solid(50, 50, Qt::red));
    EXPECT_TRUE(stage.image->CalcDrawRect().isEmpty());
    stage.parent.show();
    QApplication::processEvents(); // paints a zero-size control without dividing by zero
}

TEST(KVImage, PaintsStretchedPictureAndLeavesTheRestToTheParent) {
    Stage stage(100, 100);
    stage.image->SetStretch(true);
    stage.image->Picture().SetBitmap(Solid(200, 100, Qt::red));
    stage.parent.show();
    const QImage shot = stage.Grab();
    EXPECT_EQ(QColor(shot.pixel(50, 25)), QColor(Qt::red));
    EXPECT_EQ(QColor(shot.pixel(99, 49)), QColor(Qt::red));
    EXPECT_EQ(QColor(shot.pixel(50, 75)), QColor(Qt::white));
    EXPECT_FALSE(stage.image->Opaque()) << "a strip of the control stays uncovered";

    stage.image->SetCenter(true);
    const QImage centred = stage.Grab();
    EXPECT_EQ(QColor(centred.pixel(50, 10)), QColor(Qt::white));
    EXPECT_EQ(QColor(centred.pixel(50, 50)), QColor(Qt::red));
}

TEST(KVImage, TransparentBitmapLeavesOutItsBottomLeftColour) {
    QImage bitmap = Solid(100, 100, Qt::blue);
    QPainter(&bitmap).fillRect(20, 20, 10, 10, Qt::red);
    Stage stage(100, 100);
    stage.image->Picture().SetBitmap(bitmap);
    stage.parent.show();
    EXPECT_TRUE(stage.image->Opaque());
    EXPECT_EQ(QColor(stage.Grab().pixel(5, 5)), QColor(Qt::blue));

    stage.image->SetTransparent(true);
    EXPECT_FALSE(stage.image->Opaque());
    const QImage shot = stage.Grab();
    EXPECT_EQ(QColor(shot.pixel(5, 5)), QColor(Qt::white));
    EXPECT_EQ(QColor(shot.pixel(25, 25)), QColor(Qt::red));
}

TEST(KVImage, OpaqueOnlyWhenAnOpaqueGraphicCoversTheControl) {
    Stage stage(100, 100);
    TKVImage& img = *stage.image;
    EXPECT_FALSE(img.Opaque());
    img.SetStretch(true);
    img.Picture().SetBitmap(Solid(300, 300, Qt::green));
    EXPECT_TRUE(img.Opaque()) << "stretched to exactly cover the control";
    img.SetTransparent(true);
    EXPECT_FALSE(img.Opaque());
    img.SetTransparent(false);
    EXPECT_TRUE(img.Opaque());

    img.Picture().SetBitmap(Solid(99, 300, Qt::green));
    EXPECT_FALSE(img.Opaque()) << "narrower than the control";
    img.Picture().SetBitmap(Solid(300, 300, Qt::green, QImage::Format_ARGB32));
    EXPECT_FALSE(img.Opaque()) << "an alpha channel lets the parent show";
    img.Picture().SetIcon(QIcon(QPixmap::fromImage(Solid(300, 300, Qt::green))), {300, 300});
    EXPECT_FALSE(img.Opaque()) << "icons paint only their shape";
    img.Picture().Clear();
    EXPECT_FALSE(img.Opaque());

    // Growing the control past an opaque picture must not leave stale pixels declared opaque.
    stage.parent.show();
    img.SetStretch(false);
    img.Picture().SetBitmap(Solid(120, 120, Qt::green));
    EXPECT_TRUE(img.Opaque());
    img.resize(150, 150);
    EXPECT_FALSE(img.Opaque());
}

TEST(KVImage, AutoSizeTakesThePictureSizeAtTheSamePlace) {
    Stage stage(30, 30);
    TKVImage& img = *stage.image;
    img.move(7, 9);
    img.SetAutoSize(true);
    img.Picture().SetBitmap(Solid(64, 48, Qt::green));
    EXPECT_EQ(img.geometry(), QRect(7, 9, 64, 48));

    img.Picture().Clear();
    EXPECT_EQ(img.geometry(), QRect(7, 9, 64, 48)) << "an empty picture keeps the size";

    // Setting AutoSize runs the change handling even when the value does not change.
    img.Picture().SetBitmap(Solid(20, 10, Qt::green));
    img.resize(5, 5);
    img.SetAutoSize(true);
    EXPECT_EQ(img.size(), QSize(20, 10));
    img.SetAutoSize(false);
    img.resize(5, 5);
    img.Picture().SetBitmap(Solid(40, 40, Qt::green));
    EXPECT_EQ(img.size(), QSize(5, 5));
}

TEST(KVImage, UnchangedSwitchesDoNotRepaint) {
    Stage stage(100, 100);
    stage.image->Picture().SetBitmap(Solid(50, 50, Qt::red));
    stage.parent.show();
    QApplication::processEvents();
    PaintCounter paints(stage.image);

    stage.image->SetStretch(false);
    stage.image->SetCenter(false);
    stage.image->SetTransparent(false);
    QApplication::processEvents();
    EXPECT_EQ(paints.count, 0);

    stage.image->SetStretch(true);
    QApplication::processEvents();
    EXPECT_GE(paints.count, 1);
}

TEST(KVImage, PictureIsCopiedNotShared) {
    Stage stage(100, 100);
    TKVPicture source;
    source.SetBitmap(Solid(30, 20, Qt::red));
    stage.image->SetPicture(source);
    source.SetBitmap(Solid(5, 5, Qt::blue));
    EXPECT_EQ(stage.image->Picture().Width(), 30);
    EXPECT_EQ(stage.image->Picture().Height(), 20);
}

TEST(KVImage, LoadingReportsProgressAndRedrawsWhenIncremental) {
    cbtest::TempDir dir;
    const QString file = QString::fromStdString(dir.file("p.png"));
    ASSERT_TRUE(Solid(40, 30, Qt::red).save(file));

    Stage stage(100, 100);
    stage.parent.show();
    QApplication::processEvents();
    struct Call {
        TKVImage* sender;
        TProgressStage stage;
        int percent;
        bool redraw;
    };
    std::vector<Call> calls;
    stage.image->SetOnProgress([&](TKVImage* sender, TProgressStage st, int percent, bool redraw,
                                   const QRect&, const QString&) {
        calls.push_back({sender, st, percent, redraw});
    });
    PaintCounter paints(stage.image);
    stage.image->SetIncrementalDisplay(true);
    ASSERT_TRUE(stage.image->Picture().LoadFromFile(file));
    EXPECT_GE(paints.count, 1) << "repainted at once, before the event loop ran";
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].sender, stage.image);
    EXPECT_EQ(calls[0].stage, TProgressStage::Starting);
    EXPECT_EQ(calls[0].percent, 0);
    EXPECT_EQ(calls[1].stage, TProgressStage::Ending);
    EXPECT_EQ(calls[1].percent, 100);
    EXPECT_TRUE(calls[1].redraw);
    EXPECT_EQ(stage.image->Picture().Width(), 40);

    // A file that is no picture leaves the picture as it was.
    cbtest::WriteWholeFile(dir.file("bad.png"), "not a picture");
    cbtest::WriteWholeFile(dir.file("bad.svg"), "<svg");
    EXPECT_FALSE(stage.image->Picture().LoadFromFile(QString::fromStdString(dir.file("bad.png"))));
    EXPECT_FALSE(stage.image->Picture().LoadFromFile(QString::fromStdString(dir.file("bad.svg"))));
    EXPECT_FALSE(stage.image->Picture().LoadFromFile(QStringLiteral("/nonexistent/x.ico")));
    EXPECT_EQ(stage.image->Picture().Width(), 40);
}
