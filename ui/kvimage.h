// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QPainter;
class QSvgRenderer;
class TKVImage;

enum class TProgressStage { Starting, Running, Ending };

// Picture container: holds at most one graphic, a bitmap, an icon or a vector picture (SVG).
// Copying copies the graphic, never the notifications; every change of the graphic runs
// OnChange, loading reports its stages through OnProgress.
class TKVPicture {
public:
    enum class TKind { Empty, Bitmap, Icon, Vector };
    using TProgressHook = std::function<void(TProgressStage stage, int percentDone, bool redrawNow,
                                             const QRect& rect, const QString& msg)>;

    TKVPicture() = default;
    TKVPicture(const TKVPicture& other) : graphic(other.graphic) {}
    TKVPicture& operator=(const TKVPicture& other);

    void Assign(const TKVPicture& other);
    void SetBitmap(const QImage& image);
    // Icons have no single size; without one the usual 32 × 32 of a desktop icon applies.
    void SetIcon(const QIcon& icon, QSize size = QSize());
    // False (picture unchanged) when the data is no valid SVG.
    bool SetVector(const QByteArray& svg);
    // SVG by suffix (.svg, .svgz), .ico as icon, everything else as bitmap. False, picture
    // unchanged, when the file cannot be read.
    bool LoadFromFile(const QString& path);
    void Clear();

    TKind Kind() const { return graphic.kind; }
    bool HasGraphic() const { return graphic.kind != TKind::Empty; }
    // Size in pixels; a vector picture reports its own (default) size.
    int Width() const;
    int Height() const;

    // The graphic's own transparency switch. A bitmap drawn transparent leaves out every
    // pixel of its bottom-left pixel's colour; icons and vector pictures only ever paint
    // their own shapes, so they always report themselves transparent.
    bool Transparent() const;
    void SetTransparent(bool value);
    bool PaletteModified() const { return graphic.paletteModified; }
    void SetPaletteModified(bool value) { graphic.paletteModified = value; }

    void Draw(QPainter& painter, const QRect& target) const;

    std::function<void()> OnChange;
    TProgressHook OnProgress;

private:
    struct TGraphic {
        TKind kind = TKind::Empty;
        QImage image;
        mutable QImage masked; // image with its transparent colour cut out, made on demand
        QIcon icon;
        QSize iconSize;
        QByteArray svgData;
        std::shared_ptr<QSvgRenderer> svg; // immutable once loaded, so copies share it
        bool transparent = false;
        bool paletteModified = false;
    };

    void Changed();
    void Progress(TProgressStage stage, int percent, bool redrawNow, const QString& msg);
    static QImage MaskBottomLeftColour(const QImage& image);

    TGraphic graphic;
};

// The map control: paints one picture, optionally scaled to fit while keeping its aspect
// ratio. Qt widgets without a native window are already windowless: they paint into their
// top-level window's surface, the parent's background showing through wherever the control
// does not declare itself opaque (Qt::WA_OpaquePaintEvent).
class TKVImage : public QWidget {
    Q_OBJECT
public:
    using TProgressEvent =
        std::function<void(TKVImage* sender, TProgressStage stage, int percentDone, bool redrawNow,
                           const QRect& rect, const QString& msg)>;

    explicit TKVImage(QWidget* owner);
    ~TKVImage() override;

    TKVPicture& Picture() { return picture; }
    const TKVPicture& Picture() const { return picture; }
    // Copies the given picture into the control's own container.
    void SetPicture(const TKVPicture& value) { picture.Assign(value); }

    bool AutoSize() const { return bAutoSize; }
    void SetAutoSize(bool value);
    bool Stretch() const { return bStretch; }
    void SetStretch(bool value);
    bool Center() const { return bCenter; }
    void SetCenter(bool value);
    bool Transparent() const { return bTransparent; }
    void SetTransparent(bool value);
    bool IncrementalDisplay() const { return bIncrementalDisplay; }
    void SetIncrementalDisplay(bool value) { bIncrementalDisplay = value; }
    void SetOnProgress(TProgressEvent handler) { OnProgress = std::move(handler); }

    bool Opaque() const { return testAttribute(Qt::WA_OpaquePaintEvent); }

    // Where the picture goes, in the control's coordinates; empty when there is nothing to
    // draw (no picture, or a stretch with a zero width or height on either side).
    QRect CalcDrawRect() const;
    static QRect CalcDrawRect(int w, int h, int pw, int ph, bool stretch, bool center);

    void HandlePictureChange();
    bool HandlePaletteChange();
    void HandleProgress(TProgressStage stage, int percentDone, bool redrawNow, const QRect& rect,
                        const QString& msg);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void UpdateOpaque();

    TKVPicture picture;
    TProgressEvent OnProgress;
    bool bAutoSize = false;
    bool bStretch = false;
    bool bCenter = false;
    bool bIncrementalDisplay = false;
    bool bTransparent = false;
    bool bDrawing = false;
};
