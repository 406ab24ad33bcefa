#include "log/ui/book_dialog.h"

#include "log/ui/range_buttons.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace qm {

namespace {

QString NewPiecesText(int n) {
    if (n == 0) return QStringLiteral("New pieces (every logged piece is in a &book already)");
    if (n == 1) return QStringLiteral("The 1 piece not yet in a &book");
    return QStringLiteral("The %1 pieces not yet in a &book").arg(n);
}

} // namespace

TF_BookChoice::TF_BookChoice(const BookChoice& initial, QWidget* parent)
    : QDialog(parent), initial_(initial) {
    setObjectName(QStringLiteral("TF_BookChoice"));
    setWindowTitle(QStringLiteral("Firm Mailing Book"));
    auto* layout = new QVBoxLayout(this);

    auto* pieces = new QGroupBox(QStringLiteral("Pieces"), this);
    auto* grid = new QGridLayout(pieces);
    rbNew_ = new QRadioButton(NewPiecesText(initial.unlisted), pieces);
    rbNew_->setObjectName(QStringLiteral("rbNew"));
    grid->addWidget(rbNew_, 0, 0, 1, 4);

    rbRange_ = new QRadioButton(QStringLiteral("The pieces logged &from"), pieces);
    rbRange_->setObjectName(QStringLiteral("rbRange"));
    editFrom_ = new QDateEdit(initial.range.from, pieces);
    editFrom_->setObjectName(QStringLiteral("editFrom"));
    editFrom_->setCalendarPopup(true);
    editTo_ = new QDateEdit(initial.range.to, pieces);
    editTo_->setObjectName(QStringLiteral("editTo"));
    editTo_->setCalendarPopup(true);
    grid->addWidget(rbRange_, 1, 0);
    grid->addWidget(editFrom_, 1, 1);
    auto* to = new QLabel(QStringLiteral("&to"), pieces);
    to->setBuddy(editTo_);
    grid->addWidget(to, 1, 2);
    grid->addWidget(editTo_, 1, 3);

    rbPrevious_ = new QRadioButton(QStringLiteral("&Again: book No."), pieces);
    rbPrevious_->setObjectName(QStringLiteral("rbPrevious"));
    spinBook_ = new QSpinBox(pieces);
    spinBook_->setObjectName(QStringLiteral("spinBook"));
    spinBook_->setRange(1, std::max(1, initial.lastBook));
    spinBook_->setValue(std::clamp(initial.number > 0 ? initial.number : initial.lastBook, 1,
                                   std::max(1, initial.lastBook)));
    grid->addWidget(rbPrevious_, 2, 0);
    grid->addWidget(spinBook_, 2, 1);
    rbPrevious_->setEnabled(initial.lastBook > 0);
    layout->addWidget(pieces);

    auto* output = new QGroupBox(QStringLiteral("Output"), this);
    auto* v = new QVBoxLayout(output);
    rbPreview_ = new QRadioButton(QStringLiteral("Pre&view"), output);
    rbPreview_->setObjectName(QStringLiteral("rbPreview"));
    auto* rbPrint = new QRadioButton(QStringLiteral("&Print"), output);
    rbPrint->setObjectName(QStringLiteral("rbPrint"));
    (initial.preview ? rbPreview_ : rbPrint)->setChecked(true);
    v->addWidget(rbPreview_);
    v->addWidget(rbPrint);
    layout->addWidget(output);

    auto enable = [this] {
        editFrom_->setEnabled(rbRange_->isChecked());
        editTo_->setEnabled(rbRange_->isChecked());
        spinBook_->setEnabled(rbPrevious_->isChecked());
    };
    for (QRadioButton* rb : {rbNew_, rbRange_, rbPrevious_})
        connect(rb, &QRadioButton::toggled, this, enable);
    switch (initial.kind) {
    case BookChoice::Kind::New: rbNew_->setChecked(true); break;
    case BookChoice::Kind::Range: rbRange_->setChecked(true); break;
    case BookChoice::Kind::Previous:
        (initial.lastBook > 0 ? rbPrevious_ : rbNew_)->setChecked(true);
        break;
    }
    enable();

    layout->addLayout(RangeDialogButtons(
        *this, [this] { return rbRange_->isChecked() && editFrom_->date() > editTo_->date(); }));
}

BookChoice TF_BookChoice::Choice() const {
    BookChoice c = initial_;
    c.kind = rbPrevious_->isChecked() ? BookChoice::Kind::Previous
             : rbRange_->isChecked()  ? BookChoice::Kind::Range
                                      : BookChoice::Kind::New;
    c.range = DateRange{editFrom_->date(), editTo_->date()};
    c.number = spinBook_->value();
    c.preview = rbPreview_->isChecked();
    return c;
}

} // namespace qm
