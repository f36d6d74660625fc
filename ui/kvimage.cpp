// SPDX-License-Identifier: GPL-3.0-or-later
#include "kvimage.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

#include <climits>
#include <cmath>

// ---------------------------------------------------------------------------------------------
// TKVPicture

TKVPicture& TKVPicture::operator=(const TKVPicture& other) {
    Assign(other);
    return *this;
}

void TKVPicture::Assign(const TKVPicture& other) {
    if (&other != this) graphic = other.graphic;
    Changed();
}

void TKVPicture::SetBitmap(const QImage& image) {
    TGraphic g;
    if (!image.isNull()) {
        g.kind = TKind::Bitmap;
        g.image = image;
        g.transparent = graphic.transparent;
        g.paletteModified = image.colorCount() > 0;
    }
    graphic = std::move(g);
    Changed();
}

void TKVPicture::SetIcon(const QIcon& icon, QSize size) {
    TGraphic g;
    if (!icon.isNull()) {
        g.kind = TKind::Icon;
        g.icon = icon;
        if (!size.isValid() || size.isEmpty()) {
            const auto sizes = icon.availableSizes();
            size = sizes.isEmpty() ? QSize(32, 32) : sizes.first();
        }
        g.iconSize = size;
        g.transparent = graphic.transparent;
    }
    graphic = std::move(g);
    Changed();
}

bool TKVPicture::SetVector(const QByteArray& svg) {
    auto renderer = std::make_shared<QSvgRenderer>(svg);
    if (!renderer->isValid()) return false;
    TGraphic g;
    g.kind = TKind::Vector;
    g.svgData = svg;
    g.svg = std::move(renderer);
    g.transparent = graphic.transparent;
    graphic = std::move(g);
    Changed();
    return true;
}

bool TKVPicture::LoadFromFile(const QString& path) {
    Progress(TProgressStage::Starting, 0, false, path);
    const QString suffix = QFileInfo(path).suffix().toLower();
    bool ok = false;
    if (suffix == QLatin1String("svg") || suffix == QLatin1String("svgz")) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            // QSvgRenderer unpacks compressed data itself.
            ok = SetVector(file.readAll());
        }
    } else if (suffix == QLatin1String("ico")) {
        const QIcon icon(path);
        ok = !icon.availableSizes().isEmpty();
        if (ok) SetIcon(icon);
    } else {
        QImageReader reader(path);
        const QImage image = reader.read();
        ok = !image.isNull();
        if (ok) SetBitmap(image);
    }
    Progress(TProgressStage::Ending, 100, ok, path);
    return ok;
}

void TKVPicture::Clear() {
    graphic = TGraphic();
    Changed();
}

int TKVPicture::Width() const {
    switch (graphic.kind) {
    case TKind::Bitmap:
        return graphic.image.width();
    case TKind::Icon:
        return graphic.iconSize.width();
    case TKind::Vector:
        return graphic.svg->defaultSize().width();
    case TKind::Empty:
        break;
    }
    return 0;
}

int TKVPicture::Height() const {
    switch (graphic.kind) {
    case TKind::Bitmap:
        return graphic.image.height();
    case TKind::Icon:
        return graphic.iconSize.height();
    case TKind::Vector:
        return graphic.svg->defaultSize().height();
    case TKind::Empty:
        break;
    }
    return 0;
}

bool TKVPicture::Transparent() const {
    switch (graphic.kind) {
    case TKind::Bitmap:
        return graphic.transparent || graphic.image.hasAlphaChannel();
    case TKind::Icon:
    case TKind::Vector:
        return true;
    case TKind::Empty:
        break;
    }
    return false;
}

void TKVPicture::SetTransparent(bool value) {
    if (!HasGraphic() || graphic.transparent == value) return;
    graphic.transparent = value;
    graphic.masked = QImage();
    Changed();
}

QImage TKVPicture::MaskBottomLeftColour(const QImage& image) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = out.pixel(0, out.height() - 1);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if (line[x] == key) line[x] = 0;
    }
    return out;
}

void TKVPicture::Draw(QPainter& painter, const QRect& target) const {
    if (target.isEmpty()) return;
    switch (graphic.kind) {
    case TKind::Bitmap:
        if (graphic.transparent) {
            // The mask is made at the first transparent drawing and then kept.
            if (graphic.masked.isNull()) graphic.masked = MaskBottomLeftColour(graphic.image);
            painter.drawImage(target, graphic.masked);
        } else {
            painter.drawImage(target, graphic.image);
        }
        break;
    case TKind::Icon:
        graphic.icon.paint(&painter, target, Qt::AlignCenter);
        break;
    case TKind::Vector:
        graphic.svg->render(&painter, QRectF(target));
        break;
    case TKind::Empty:
        break;
    }
}

void TKVPicture::Changed() {
    if (OnChange) OnChange();
}

void TKVPicture::Progress(TProgressStage stage, int percent, bool redrawNow, const QString& msg) {
    if (OnProgress) OnProgress(stage, percent, redrawNow, QRect(), msg);
}

// ---------------------------------------------------------------------------------------------
// TKVImage

// Qt has no form streaming and so no replicatable style to set; copies are made in code.
TKVImage::TKVImage(QWidget* owner) : QWidget(owner) {
    picture.OnChange = [this] { HandlePictureChange(); };
    picture.OnProgress = [this](TProgressStage stage, int percent, bool redrawNow,
                                const QRect& rect, const QString& msg) {
        HandleProgress(stage, percent, redrawNow, rect, msg);
    };
    resize(105, 105);
}

TKVImage::~TKVImage() {
    // The container outlives nothing it notifies.
    picture.OnChange = nullptr;
    picture.OnProgress = nullptr;
}

void TKVImage::SetAutoSize(bool value) {
    bAutoSize = value;
    HandlePictureChange();
}

void TKVImage::SetStretch(bool value) {
    if (value == bStretch) return;
    bStretch = value;
    HandlePictureChange();
}

void TKVImage::SetCenter(bool value) {
    if (value == bCenter) return;
    bCenter = value;
    HandlePictureChange();
}

void TKVImage::SetTransparent(bool value) {
    if (value == bTransparent) return;
    bTransparent = value;
    HandlePictureChange();
}

namespace {
// Rounds to the nearest integer, halves to the even neighbour, whatever the FPU mode is.
long double RoundHalfEven(long double v) {
    const long double lower = std::floor(v);
    const long double diff = v - lower;
    if (diff > 0.5L) return lower + 1;
    if (diff < 0.5L) return lower;
    return std::fmod(lower, 2.0L) == 0 ? lower : lower + 1;
}

int ClampToInt(long double v) {
    if (!(v == v)) return 0;
    if (v > INT_MAX / 2) return INT_MAX / 2;
    if (v < INT_MIN / 2) return INT_MIN / 2;
    return static_cast<int>(v);
}
} // namespace

QRect TKVImage::CalcDrawRect(int w, int h, int pw, int ph, bool stretch, bool center) {
    if (stretch) {
        if (w <= 0 || h <= 0 || pw <= 0 || ph <= 0) return QRect();
        const long double qw = static_cast<long double>(pw) / w;
        const long double qh = static_cast<long double>(ph) / h;
        const double s = static_cast<double>(qw > qh ? qw : qh);
        const int dw = ClampToInt(RoundHalfEven(pw / static_cast<long double>(s)));
        const int dh = ClampToInt(RoundHalfEven(ph / static_cast<long double>(s)));
        if (center) return QRect((w - dw) / 2, (h - dh) / 2, dw, dh);
        return QRect(0, 0, dw, dh);
    }
    if (center) return QRect((w - pw) / 2, (h - ph) / 2, pw, ph);
    return QRect(0, 0, pw, ph);
}

QRect TKVImage::CalcDrawRect() const {
    if (!picture.HasGraphic()) return QRect();
    return CalcDrawRect(width(), height(), picture.Width(), picture.Height(), bStretch, bCenter);
}

void TKVImage::paintEvent(QPaintEvent*) {
    const bool wasDrawing = bDrawing;
    bDrawing = true;
    // Restores the flag however the drawing ends.
    struct Restore {
        bool& flag;
        bool value;
        ~Restore() { flag = value; }
    } restore{bDrawing, wasDrawing};
    if (!picture.HasGraphic()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    picture.Draw(painter, CalcDrawRect());
}

void TKVImage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UpdateOpaque();
}

// Opaque only when the graphic paints every pixel of the control. Beyond the picture being
// at least as large as the control, a stretched picture of another aspect leaves a strip
// free, and an opaque control would show stale pixels there, so the drawing rectangle must
// cover the control too.
void TKVImage::UpdateOpaque() {
    bool opaque = false;
    if (picture.HasGraphic() && !picture.Transparent() && picture.Width() >= width() &&
        picture.Height() >= height())
        opaque = CalcDrawRect().contains(rect());
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
}

void TKVImage::HandlePictureChange() {
    if (bAutoSize && picture.Width() > 0 && picture.Height() > 0)
        setGeometry(x(), y(), picture.Width(), picture.Height());
    if (picture.HasGraphic()) {
        picture.SetTransparent(bTransparent);
        UpdateOpaque();
        if (HandlePaletteChange() && bDrawing) repaint();
    } else {
        setAttribute(Qt::WA_OpaquePaintEvent, false);
    }
    if (!bDrawing) update();
}

// Qt paints in true colour: an indexed image's colour table is applied per pixel whenever it
// is drawn, and there is no hardware palette a window could realise. So a changed colour
// table needs nothing beyond the repaint the change handling already asks for; the mark is
// cleared and no immediate repaint is requested.
bool TKVImage::HandlePaletteChange() {
    if (!isVisible() || !picture.HasGraphic() || !picture.PaletteModified()) return false;
    picture.SetPaletteModified(false);
    return false;
}

void TKVImage::HandleProgress(TProgressStage stage, int percentDone, bool redrawNow,
                              const QRect& rect, const QString& msg) {
    if (bIncrementalDisplay && redrawNow && !bDrawing) {
        HandlePaletteChange();
        repaint();
    }
    if (OnProgress) OnProgress(this, stage, percentDone, redrawNow, rect, msg);
}
