#pragma once
// Where a print run enters each printed piece: the mailing log.

#include "piece/entry_fields.h"
#include "piece/print_request.h"

#include <QString>

namespace qm {

class PieceLog {
public:
    virtual ~PieceLog() = default;
    // Enters one printed piece: the request it was printed from, the entry fields as read
    // (the addressee lines before the city line moved up) and the barcode data of the print.
    // Returns an empty text on success, else what went wrong.
    virtual QString Append(const PrintRequest& request, const EntryFields& fields,
                           const QString& barcodeData) = 0;
    // Notes a piece with the barcode data `barcodeData` as going to the printer, before its
    // page is printed, so a copy killed before Append leaves it behind to be asked about.
    // Returns an empty text on success, else what went wrong (the piece must not print).
    virtual QString Journal(const PrintRequest& request, const EntryFields& fields,
                            const QString& barcodeData) {
        (void)request, (void)fields, (void)barcodeData;
        return {};
    }
    // Drops the note of Journal once the piece is logged or its print refused. Returns an
    // empty text on success, else what went wrong.
    virtual QString Unjournal(const QString& barcodeData) {
        (void)barcodeData;
        return {};
    }
    // Ends the log's use by one run; called once at the end of every run, whatever happened.
    virtual void Close() noexcept = 0;
};

// A log that keeps nothing, for a program without a mailing log table.
class NoPieceLog : public PieceLog {
public:
    QString Append(const PrintRequest&, const EntryFields&, const QString&) override { return {}; }
    void Close() noexcept override {}
};

} // namespace qm
