// The help window: find as you type and Return for the next hit, Back and Contents; and the
// shipped help file explaining the log's outputs.
#include "app/help_window.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

namespace qm {
namespace {

QString Write(const QTemporaryDir& dir, const QByteArray& html) {
    const QString path = dir.filePath(QStringLiteral("Quill3.hlp"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(html);
    return path;
}

TEST(HelpWindow, FindsAsYouTypeAndReturnFindsTheNext) {
    QTemporaryDir dir;
    QByteArray html = "<html><body><h1>Help</h1><p><a href=\"#far\">Far away</a></p>";
    for (int i = 0; i < 200; ++i) html += "<p>filler line</p>";
    html += "<h2><a name=\"far\">Mailing book</a></h2><p>The Book lists pieces. A book again.</p>"
            "</body></html>";
    TF_Help help;
    help.ShowContents(Write(dir, html));
    help.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    QTextBrowser* b = help.browserHelp;

    QTest::keyClicks(help.editSearch, QStringLiteral("boo"));
    EXPECT_EQ(b->textCursor().selectedText(), QStringLiteral("boo"));
    const int first = b->textCursor().selectionStart();
    QTest::keyClick(help.editSearch, Qt::Key_K);
    EXPECT_EQ(b->textCursor().selectedText(), QStringLiteral("book")); // still the first place
    EXPECT_EQ(b->textCursor().selectionStart(), first);
    EXPECT_GT(b->verticalScrollBar()->value(), 0); // scrolled to it
    QTest::keyClick(help.editSearch, Qt::Key_Return);
    const int second = b->textCursor().selectionStart();
    EXPECT_GT(second, first);
    EXPECT_EQ(b->textCursor().selectedText().toLower(), QStringLiteral("book"));
    QTest::keyClick(help.editSearch, Qt::Key_Return);
    const int third = b->textCursor().selectionStart();
    EXPECT_GT(third, second);
    QTest::keyClick(help.editSearch, Qt::Key_Return); // from the top again
    EXPECT_EQ(b->textCursor().selectionStart(), first);
    // Nothing found: the selection stays.
    QTest::keyClicks(help.editSearch, QStringLiteral("zzz"));
    EXPECT_FALSE(help.Find(QStringLiteral("bookzzz"), false));
    EXPECT_EQ(b->textCursor().selectionStart(), first);

    // A link, Back, Contents.
    EXPECT_FALSE(help.btnBack->isEnabled());
    b->setSource(QUrl(QStringLiteral("#far")));
    QCoreApplication::processEvents();
    EXPECT_TRUE(help.btnBack->isEnabled());
    EXPECT_GT(b->verticalScrollBar()->value(), 0);
    help.btnBack->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(b->source().fragment(), QString());
    b->setSource(QUrl(QStringLiteral("#far")));
    QCoreApplication::processEvents();
    help.btnContents->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(b->source().fragment(), QString());
    EXPECT_EQ(b->verticalScrollBar()->value(), 0);
}

TEST(HelpWindow, ShippedHelpExplainsTheLogsOutputs) {
    TF_Help help;
    help.ShowContents(QStringLiteral(QM_PROGRAM_DIR "/Quill3.hlp"));
    const QString text = help.browserHelp->toPlainText();
    for (const char* s : {"Firm Mailing Book...",
                          "Total Number of Pieces Listed by Sender",
                          "Certified Mail, Restricted Delivery",
                          "diagonal",
                          "Export Log...",
                          "CSV files (*.csv)",
                          "Excel workbooks (*.xlsx)",
                          "byte-order mark",
                          "leading apostrophe",
                          "02108",
                          "quillmark --firm-mailing-book",
                          "--export-log",
                          "--report full|short",
                          "--folder DIR",
                          "quillmark --help",
                          "not mass-printed",
                          "Import asks for the address table it fills",
                          "37 lines were imported; 3 were not:",
                          "line 9: a quote is not closed",
                          "Page Width",
                          "Letter",
                          "chgrp GROUP DIR; chmod 2770 DIR",
                          "chmod -R g+rwX"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(s))) << s;
    EXPECT_TRUE(text.contains(QStringLiteral("Verify Barcodes Before Printing")));
    // Every link of the contents leads to a place in the file.
    QFile file(QStringLiteral(QM_PROGRAM_DIR "/Quill3.hlp"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    const QRegularExpression link(QStringLiteral("href=\"#(\\w+)\""));
    int links = 0;
    for (auto it = link.globalMatch(html); it.hasNext(); ++links) {
        const QString anchor = it.next().captured(1);
        EXPECT_TRUE(html.contains(QStringLiteral("name=\"%1\"").arg(anchor)))
            << anchor.toStdString();
    }
    EXPECT_GE(links, 14);
}

} // namespace
} // namespace qm
