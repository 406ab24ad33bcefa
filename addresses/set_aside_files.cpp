#include "addresses/set_aside_files.h"

#include <QFile>
#include <QtGlobal>

#include <stdexcept>

namespace qm::addresses {

TSetAsideFiles::TSetAsideFiles(const QStringList& files) {
    for (const QString& f : files) {
        if (!QFile::exists(f)) continue;
        const QString aside = AsideName(f);
        QFile stale(aside);
        QFile file(f);
        if ((stale.exists() && !stale.remove()) || !file.rename(aside)) {
            const QString why =
                stale.error() != QFileDevice::NoError ? stale.errorString() : file.errorString();
            Restore();
            throw std::runtime_error(
                QStringLiteral("%1 cannot be set aside: %2").arg(f, why).toStdString());
        }
        moved_ << f;
    }
}

TSetAsideFiles::~TSetAsideFiles() {
    if (!committed_) Restore();
}

void TSetAsideFiles::Commit() {
    committed_ = true;
    for (const QString& f : moved_)
        if (!QFile::remove(AsideName(f)))
            qWarning("The old file %s stays beside the new one", qPrintable(AsideName(f)));
}

void TSetAsideFiles::Restore() noexcept {
    for (const QString& f : moved_) {
        QFile::remove(f); // what a failed replacement left under the name
        if (!QFile::rename(AsideName(f), f))
            qWarning("The old file %s could not be put back as %s", qPrintable(AsideName(f)),
                     qPrintable(f));
    }
    moved_.clear();
}

} // namespace qm::addresses
