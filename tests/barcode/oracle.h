#pragma once
// Independent readers of what we draw: zbarimg and ZXingReader decode bitmaps,
// zint dumps the module patterns it would draw. A missing tool fails the test.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

#include "barcode/bar_canvas.h"

namespace qm::test {

// Saves the image (framed by a white border) as a PNG in a temporary folder
// and returns its path.
QString SavePng(const QImage& image, const QString& name);

// Runs a program; fails the current test when it cannot start. Returns stdout.
QByteArray RunTool(const QString& program, const QStringList& args, int* exitCode = nullptr);

// Data decoded by `zbarimg --nodbus --raw`, without the final line break.
QByteArray ZbarDecode(const QImage& image, const QString& name);

// `ZXingReader -noscale` output lines ("Text:", "Identifier:" and so on).
QString ZxingReport(const QImage& image, const QString& name);

// `zint --dump` rows as strings of '0' and '1', cut to `modules` columns.
std::vector<std::string> ZintDump(const QString& symbology, const QString& data, int modules);

// Records every rectangle filled, for comparing bar layouts.
struct Rect {
    int x, y, w, h;
    bool operator==(const Rect&) const = default;
};
class RecordingCanvas final : public BarCanvas {
public:
    void FillBlack(int x, int y, int width, int height) override {
        rects.push_back({x, y, width, height});
    }
    std::vector<Rect> rects;
};

// One row of a bitmap as '0' (white) and '1' (black) characters.
std::string RowBits(const QImage& image, int row);

} // namespace qm::test
