#pragma once
// The alignment test page: printed on plain paper and held against a mailer before forms are
// spent. It shows the area of every block of the mailer and a cross at each block's anchor,
// both moved by the current alignment as a mailer is, and rulers in hundredths of an inch
// along the paper's top and left edges, which the alignment does not move.
#include <QFont>
#include <QRectF>
#include <QString>

#include <vector>

namespace qm {

class PageTarget;

// One block of the mailer: its anchor (where its first line or symbol is placed) and the area
// its lines take, in inches from the paper's left and top edges.
struct FormBlock {
    QString name;
    double anchorX;
    double anchorY;
    QRectF area;
};
const std::vector<FormBlock>& FormBlocks();

// Prints the test page as one document on the target with the alignment in hundredths of an
// inch. Throws PrintError when the target fails.
void PrintAlignmentTestPage(int leftRight, int topBottom, const QFont& fontSource,
                            PageTarget& target);

} // namespace qm
