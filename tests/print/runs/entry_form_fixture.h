#pragma once
// The controls of the entry form that a print reads, under one widget, named as on the
// main window.
#include "app/ui/zip_edit.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include <memory>

namespace qm::test {

inline std::unique_ptr<QWidget> MakeEntryForm() {
    auto form = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(form.get());
    auto add = [&](QWidget* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        layout->addWidget(w);
        return w;
    };
    const char* sender[5] = {"Acme Widgets", "100 Oak Road", "Centerville OH 45459", "", ""};
    for (int i = 0; i < 5; ++i)
        add(new QLabel(QString::fromLatin1(sender[i])),
            QStringLiteral("lblYourAddress%1").arg(i + 1).toLatin1().constData());
    auto* memo = static_cast<QPlainTextEdit*>(add(new QPlainTextEdit, "memoAddress"));
    memo->setFixedWidth(265);
    memo->setPlainText(QStringLiteral("John Smith\n12 Main St"));
    static_cast<QLineEdit*>(add(new QLineEdit, "editCity"))->setText(QStringLiteral("Springfield"));
    static_cast<QLineEdit*>(add(new QLineEdit, "editState"))->setText(QStringLiteral("IL"));
    auto* zip = static_cast<QLineEdit*>(add(new QLineEdit, "editZip"));
    SetupZipEdit(zip);
    zip->setText(QStringLiteral("62701"));
    add(new QLineEdit, "editRe");
    add(new QLineEdit, "editComment");
    add(new QCheckBox, "cbRestricted");
    static_cast<QLineEdit*>(add(new QLineEdit, "editPostage"))
        ->setText(QStringLiteral("          0.39"));
    static_cast<QLineEdit*>(add(new QLineEdit, "editCertFee"))
        ->setText(QStringLiteral("          2.40"));
    static_cast<QLineEdit*>(add(new QLineEdit, "editReturn"))
        ->setText(QStringLiteral("          1.85"));
    static_cast<QLineEdit*>(add(new QLineEdit, "editRestricted"))->setText(QString());
    static_cast<QLineEdit*>(add(new QLineEdit, "editTotal"))
        ->setText(QStringLiteral("          4.64"));
    add(new QPushButton(QStringLiteral("&Print")), "btnPrint");
    form->resize(400, 600);
    return form;
}

} // namespace qm::test
