#include "oracle.h"

#include <QDir>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qm::test {

namespace {

QTemporaryDir& Scratch() {
    static QTemporaryDir dir(QDir::tempPath() + "/qm-barcode-XXXXXX");
    return dir;
}

} // namespace

QString SavePng(const QImage& image, const QString& name) {
    constexpr int kBorder = 16;
    QImage framed(image.width() + 2 * kBorder, image.height() + 2 * kBorder, QImage::Format_RGB32);
    framed.fill(Qt::white);
    {
        QPainter painter(&framed);
        painter.drawImage(kBorder, kBorder, image);
    }
    const QString path = Scratch().filePath(name + ".png");
    EXPECT_TRUE(framed.save(path)) << path.toStdString();
    return path;
}

QByteArray RunTool(const QString& program, const QStringList& args, int* exitCode) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForStarted()) {
        ADD_FAILURE() << program.toStdString()
                      << " could not be started (installed by tools/setup)";
        return {};
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        ADD_FAILURE() << program.toStdString() << " did not finish";
        process.kill();
        process.waitForFinished();
        return {};
    }
    if (exitCode != nullptr) *exitCode = process.exitCode();
    return process.readAllStandardOutput();
}

QByteArray ZbarDecode(const QImage& image, const QString& name) {
    QByteArray out = RunTool("zbarimg", {"--nodbus", "--raw", "-q", SavePng(image, name)});
    if (out.endsWith('\n')) out.chop(1);
    return out;
}

QString ZxingReport(const QImage& image, const QString& name) {
    return QString::fromUtf8(RunTool("ZXingReader", {"-noscale", SavePng(image, name)}));
}

std::vector<std::string> ZintDump(const QString& symbology, const QString& data, int modules) {
    const QByteArray out = RunTool("zint", {"-b", symbology, "-d", data, "--dump"});
    std::vector<std::string> rows;
    for (const QByteArray& line : out.split('\n')) {
        if (line.trimmed().isEmpty()) continue;
        std::string bits;
        for (const QByteArray& hex : line.trimmed().split(' ')) {
            bool ok = false;
            const int byte = hex.toInt(&ok, 16);
            EXPECT_TRUE(ok) << "zint dump: " << line.toStdString();
            for (int b = 7; b >= 0; --b) bits += ((byte >> b) & 1) ? '1' : '0';
        }
        rows.push_back(bits.substr(0, size_t(modules)));
    }
    return rows;
}

std::string RowBits(const QImage& image, int row) {
    std::string bits;
    for (int x = 0; x < image.width(); ++x) bits += image.pixelIndex(x, row) == 1 ? '1' : '0';
    return bits;
}

} // namespace qm::test
