#pragma once
// TBarcodeBmp: one barcode kept as a bitmap, drawn again after every change.
//
// Set BarcodeType before BarcodeText; each setter renders at once, so Bitmap
// always shows the current settings. The bitmap is an 8-bit indexed QImage
// with two colours: index 0 white (255, 255, 255) for background and quiet
// zones, index 1 black for bars and text.
//
// Built symbologies: bcCode128, bcEAN128 and bcPOSTNET. Selecting any other
// TBarCodeType throws BarcodeError and leaves the component unchanged.
//
// Character codes are the characters' Unicode values; under bcEAN128 the
// character 202 (U+00CA) marks an FNC1 (see kFnc1Char).

#include <QFont>
#include <QImage>
#include <QObject>
#include <QString>

#include "barcode/barcode_types.h"

namespace qm {

// The text filter of a symbology: drops code 0 and the characters the type
// cannot carry, then cuts to the type's maximum length. Works for all thirteen
// types, including those the component does not draw.
QString FilterBarcodeText(TBarCodeType type, const QString& text);

class TBarcodeBmp : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(QImage Bitmap READ Bitmap)
    Q_PROPERTY(QString BarcodeText READ BarcodeText WRITE SetBarcodeText)
    Q_PROPERTY(int BarcodeType READ BarcodeTypeValue WRITE SetBarcodeTypeValue)
    Q_PROPERTY(QFont Font READ Font WRITE SetFont)
    Q_PROPERTY(int Scale READ Scale WRITE SetScale)
    Q_PROPERTY(bool Interpret READ Interpret WRITE SetInterpret)
    Q_PROPERTY(int Rotate READ RotateValue WRITE SetRotateValue)

public:
    // Defaults: Height 50, Scale 1, Interpret on, bcCode128, bcNoRotate, empty
    // text, font "Courier New", a white bitmap 20 × 50.
    explicit TBarcodeBmp(QObject* owner = nullptr);
    ~TBarcodeBmp() override;

    // Height of the symbol before rotation, in pixels (at least 1).
    int Height() const { return height_; }
    void SetHeight(int height);

    // The last rendering. After a quarter turn its height is the symbol width.
    const QImage& Bitmap() const { return bitmap_; }

    // The filtered text (what the symbol carries), not the text that was set.
    const QString& BarcodeText() const { return text_; }
    void SetBarcodeText(const QString& text);

    TBarCodeType BarcodeType() const { return type_; }
    // Throws BarcodeError for a type that is not built (see IsBarCodeTypeBuilt).
    void SetBarcodeType(TBarCodeType type);

    // Font of the human-readable text; its size is set to 8 × Scale points when
    // the text is drawn. A null pointer changes nothing.
    const QFont& Font() const { return font_; }
    void SetFont(const QFont& font);
    void SetFont(const QFont* font);

    // Pixels per module (Code 128) or per bar and gap (POSTNET), at least 1.
    int Scale() const { return scale_; }
    void SetScale(int scale);

    // Human-readable text under Code 128 symbols (POSTNET has none).
    bool Interpret() const { return interpret_; }
    void SetInterpret(bool interpret);

    TbcRotate Rotate() const { return rotate_; }
    void SetRotate(TbcRotate rotate);

    // While loading (settings applied one by one from stored values) nothing is
    // rendered; EndLoading renders once.
    void BeginLoading();
    void EndLoading();

    // Resolution at which the font's points become bitmap pixels.
    static constexpr int kTextDpi = 96;

private:
    int BarcodeTypeValue() const { return type_; }
    void SetBarcodeTypeValue(int type);
    int RotateValue() const { return rotate_; }
    void SetRotateValue(int rotate);

    void Render();

    int height_ = 50;
    QImage bitmap_;
    QString text_;
    TBarCodeType type_ = bcCode128;
    QFont font_;
    int scale_ = 1;
    bool interpret_ = true;
    TbcRotate rotate_ = bcNoRotate;
    bool loading_ = false;
};

} // namespace qm
