#include "print/preprint.h"

#include "numbers/barcode_data.h"
#include "numbers/serial_number.h"
#include "print/mailer_barcodes.h"
#include "print/page.h"

namespace qm {

QString PrePrintDocumentTitle(const QString& firstSerial, const QString& lastSerial) {
    const auto shown = [](const QString& serial) {
        bool ok = false;
        const qlonglong n = serial.toLongLong(&ok);
        return ok ? QString::number(n) : serial;
    };
    return QStringLiteral("Pre-printed labels %1 to %2").arg(shown(firstSerial), shown(lastSerial));
}

int PrePrintBarcodes(int count, const QString& custId, const QString& firstSerial, int leftRight,
                     int topBottom, const QFont& fontSource, PageTarget& target,
                     const std::function<void(const QString& serial)>& labelPrinted) {
    if (count <= 0) return 0;
    QString serial = firstSerial;
    int printed = 0;
    QString last = firstSerial;
    for (int i = 1; i < count; ++i) last = StepSerial(last, 1);
    target.SetDocumentTitle(PrePrintDocumentTitle(firstSerial, last));
    PageRun run(target);
    for (int i = 0; i < count; ++i) {
        const QString t =
            BuildBarcodeData(custId, serial, QStringLiteral("00000"), QStringLiteral("T"));
        const QString f =
            BuildBarcodeData(custId, serial, QStringLiteral("00000"), QStringLiteral("F"));
        PrintPage page(target);
        page.SetAlignment(leftRight, topBottom);
        page.PreparePage(fontSource);
        DrawMailerBarcodes(page, t, f);
        page.RestoreBaseFont();
        page.EndDoc();
        ++printed;
        if (labelPrinted) labelPrinted(serial);
        if (i + 1 < count) serial = StepSerial(serial, 1);
    }
    run.End();
    return printed;
}

} // namespace qm
