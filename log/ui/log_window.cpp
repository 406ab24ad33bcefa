#include "log/ui/log_window.h"

#include "core/mailer_proof.h"
#include "log/log_structure_check.h"
#include "log/shared_log.h"
#include "tzdbf.h"
#include "tzdbf_model.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace qm {

namespace {

// The date before every log entry: a date edit showing it means "no limit".
const QDate kNoLimit(1900, 1, 1);
// How often an open window looks for pieces another copy logged.
constexpr int kRefreshMs = 3000;
// The orders of the order box, in its order.
constexpr LogOrder kBoxOrders[] = {LogOrder::Record, LogOrder::MailerNumber, LogOrder::Name,
                                   LogOrder::Date, LogOrder::ZipCode};
constexpr int kBoxOrderCount = int(std::size(kBoxOrders));

int DateKey(const QDate& d) {
    return d.isValid() && d != kNoLimit ? d.year() * 10000 + d.month() * 100 + d.day() : 0;
}

QDateEdit* MakeDateEdit(const char* name, QWidget* parent) {
    auto* edit = new QDateEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setCalendarPopup(true);
    edit->setMinimumDate(kNoLimit);
    edit->setSpecialValueText(QStringLiteral(" "));
    edit->setDate(kNoLimit);
    return edit;
}

} // namespace

LogFilterProxy::LogFilterProxy(const LogSearchIndex& index, QObject* parent)
    : QAbstractProxyModel(parent), index_(index) {}

void LogFilterProxy::setSourceModel(QAbstractItemModel* model) {
    beginResetModel();
    QAbstractProxyModel::setSourceModel(model);
    ordered_.clear();
    rows_.clear();
    rowOf_.clear();
    endResetModel();
}

void LogFilterProxy::SetQuery(const LogQuery& q) {
    query_ = q;
    beginResetModel();
    Filter();
    endResetModel();
}

void LogFilterProxy::SetOrder(LogOrder order) {
    order_ = order;
    beginResetModel();
    Sort();
    Filter();
    endResetModel();
}

void LogFilterProxy::Rebuild() {
    SetOrder(order_);
}

uint32_t LogFilterProxy::SourceRecNo(int sourceRow) const {
    return static_cast<const TTzDbfModel*>(sourceModel())->RecNoAt(sourceRow);
}

void LogFilterProxy::Sort() {
    ordered_.clear();
    if (!sourceModel()) return;
    const int count = sourceModel()->rowCount();
    ordered_.reserve(size_t(count));
    for (int row = 0; row < count; ++row) {
        const uint32_t n = SourceRecNo(row);
        if (n >= 1 && n <= index_.Count() && !index_.Deleted(n)) ordered_.push_back(row);
    }
    std::vector<uint32_t> recNos(size_t(count) + 1, 0);
    for (int row : ordered_) recNos[size_t(row)] = SourceRecNo(row);
    std::stable_sort(ordered_.begin(), ordered_.end(), [&](int a, int b) {
        return index_.Less(recNos[size_t(a)], recNos[size_t(b)], order_);
    });
}

void LogFilterProxy::Filter() {
    rows_.clear();
    rowOf_.assign(sourceModel() ? size_t(sourceModel()->rowCount()) : 0, -1);
    for (int row : ordered_) {
        if (!query_.Empty() && !index_.Matches(SourceRecNo(row), query_)) continue;
        rowOf_[size_t(row)] = int(rows_.size());
        rows_.push_back(row);
    }
}

uint32_t LogFilterProxy::RecNoAt(int proxyRow) const {
    return proxyRow >= 0 && size_t(proxyRow) < rows_.size() ? SourceRecNo(rows_[size_t(proxyRow)])
                                                            : 0;
}

QModelIndex LogFilterProxy::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex LogFilterProxy::parent(const QModelIndex&) const {
    return {};
}

int LogFilterProxy::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int LogFilterProxy::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !sourceModel() ? 0 : sourceModel()->columnCount();
}

QModelIndex LogFilterProxy::mapToSource(const QModelIndex& proxyIndex) const {
    if (!proxyIndex.isValid() || !sourceModel() || size_t(proxyIndex.row()) >= rows_.size())
        return {};
    return sourceModel()->index(rows_[size_t(proxyIndex.row())], proxyIndex.column());
}

QModelIndex LogFilterProxy::mapFromSource(const QModelIndex& sourceIndex) const {
    if (!sourceIndex.isValid() || size_t(sourceIndex.row()) >= rowOf_.size()) return {};
    const int row = rowOf_[size_t(sourceIndex.row())];
    return row < 0 ? QModelIndex() : createIndex(row, sourceIndex.column());
}

QVariant LogFilterProxy::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && sourceModel())
        return sourceModel()->headerData(section, orientation, role);
    return orientation == Qt::Vertical && role == Qt::DisplayRole ? QVariant(section + 1)
                                                                  : QVariant();
}

LogWindow::LogWindow(const QString& logPath, QWidget* parent)
    : QWidget(parent, Qt::Window), path_(logPath),
      openUrl_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    setObjectName(QStringLiteral("LogWindow"));
    setWindowTitle(QStringLiteral("Mailing Log"));
    setAttribute(Qt::WA_DeleteOnClose);

    log_ = std::make_unique<SharedLogUse>(path_, SharedLogUse::Opening::Later);
    model_ = std::make_unique<TTzDbfModel>(Log());
    proxy_ = new LogFilterProxy(index_, this);
    proxy_->setSourceModel(model_.get());
    connect(model_.get(), &QAbstractItemModel::modelReset, proxy_, &LogFilterProxy::Rebuild);

    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("leLogSearch"));
    search_->setPlaceholderText(QStringLiteral("Name, tracking number, city or ZIP"));
    search_->setClearButtonEnabled(true);
    from_ = MakeDateEdit("deLogFrom", this);
    to_ = MakeDateEdit("deLogTo", this);
    order_ = new QComboBox(this);
    order_->setObjectName(QStringLiteral("cbLogOrder"));
    order_->addItems({QStringLiteral("Newest First"), QStringLiteral("Mailer Number"),
                      QStringLiteral("Name"), QStringLiteral("Date"), QStringLiteral("Zip Code")});

    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("tvLog"));
    view_->setModel(proxy_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    view_->horizontalHeader()->setSectionsClickable(true);

    track_ = new QPushButton(QStringLiteral("Track"), this);
    track_->setObjectName(QStringLiteral("btnTrack"));
    proof_ = new QPushButton(QStringLiteral("Open Proof"), this);
    proof_->setObjectName(QStringLiteral("btnOpenProof"));
    reprint_ = new QPushButton(QStringLiteral("Reprint"), this);
    reprint_->setObjectName(QStringLiteral("btnReprint"));

    auto* filters = new QHBoxLayout;
    auto* searchLabel = new QLabel(QStringLiteral("&Search:"), this);
    searchLabel->setBuddy(search_);
    filters->addWidget(searchLabel);
    filters->addWidget(search_, 1);
    filters->addWidget(new QLabel(QStringLiteral("From:"), this));
    filters->addWidget(from_);
    filters->addWidget(new QLabel(QStringLiteral("To:"), this));
    filters->addWidget(to_);
    filters->addWidget(new QLabel(QStringLiteral("Order:"), this));
    filters->addWidget(order_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(track_);
    buttons->addWidget(proof_);
    buttons->addWidget(reprint_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(view_, 1);
    layout->addLayout(buttons);
    resize(900, 500);

    connect(search_, &QLineEdit::textChanged, this, &LogWindow::ApplyQuery);
    connect(from_, &QDateEdit::dateChanged, this, &LogWindow::ApplyQuery);
    connect(to_, &QDateEdit::dateChanged, this, &LogWindow::ApplyQuery);
    connect(order_, &QComboBox::currentIndexChanged, this, &LogWindow::ApplyOrder);
    connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &LogWindow::HeaderClicked);
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &LogWindow::UpdateButtons);
    connect(proxy_, &QAbstractItemModel::modelReset, this, &LogWindow::UpdateButtons);
    connect(track_, &QPushButton::clicked, this, &LogWindow::Track);
    connect(proof_, &QPushButton::clicked, this, &LogWindow::OpenProof);
    connect(reprint_, &QPushButton::clicked, this, &LogWindow::Reprint);

    timer_ = new QTimer(this);
    timer_->setInterval(kRefreshMs);
    connect(timer_, &QTimer::timeout, this, [this] { RefreshIfChanged(); });

    Reload();
}

LogWindow::~LogWindow() {
    view_->setModel(nullptr);
    proxy_->setSourceModel(nullptr);
    model_.reset();
}

table::TTzDbf& LogWindow::Log() const {
    return log_->Table();
}

void LogWindow::Reload() {
    const QFileInfo info(path_);
    seenSize_ = info.exists() ? info.size() : -1;
    seenTime_ = info.exists() ? info.lastModified() : QDateTime();
    QString trouble;
    try {
        table::TReportingOff quiet;
        // The other users of the process's log go on with it: it stays open.
        if (log_->OpenIfPresent()) {
            table::TTzDbf& log = Log();
            // One pass over the file under the shared lock serves the check and the index.
            std::vector<table::TFieldDef> fields;
            for (int i = 0; i < log.FieldCount(); ++i) fields.push_back(log.FieldDef(i));
            LogSearchIndex::Filler filler(index_, fields, log.TableLanguage());
            // A damaged log still lists what it holds; reports refuse it.
            if (const std::optional<LogDamage> damage = ReadCheckedLog(log, &filler))
                trouble = QString::fromStdString(LogDamageText(log.DbfFileName(), *damage));
        }
    } catch (const std::exception& e) {
        index_ = LogSearchIndex();
        trouble = QString::fromStdString(e.what());
    }
    setWindowTitle(trouble.isEmpty() ? QStringLiteral("Mailing Log")
                                     : QStringLiteral("Mailing Log - ") + trouble);
    model_->Refresh(); // the proxy orders and filters the new rows on the model's reset
    UpdateButtons();
}

bool LogWindow::RefreshIfChanged() {
    const QFileInfo info(path_);
    const qint64 size = info.exists() ? info.size() : -1;
    if (size == seenSize_ && (!info.exists() || info.lastModified() == seenTime_)) return false;
    const uint32_t selected = SelectedRecNo();
    Reload();
    for (int row = 0; selected && row < proxy_->rowCount(); ++row)
        if (proxy_->RecNoAt(row) == selected) {
            view_->selectRow(row);
            break;
        }
    return true;
}

void LogWindow::ApplyQuery() {
    proxy_->SetQuery(LogQuery::Of(search_->text(), DateKey(from_->date()), DateKey(to_->date())));
    UpdateButtons();
}

void LogWindow::ApplyOrder(int comboIndex) {
    if (comboIndex < 0 || comboIndex >= kBoxOrderCount) return;
    proxy_->SetOrder(kBoxOrders[comboIndex]);
}

void LogWindow::HeaderClicked(int section) {
    const QString field = model_->headerData(section, Qt::Horizontal).toString();
    for (int combo = 0; combo < kBoxOrderCount; ++combo) {
        const LogOrderKey* key = LogOrderKeyOf(kBoxOrders[combo]);
        if (key && field.compare(QLatin1String(key->field), Qt::CaseInsensitive) == 0) {
            order_->setCurrentIndex(order_->currentIndex() == combo ? 0 : combo);
            return;
        }
    }
}

int LogWindow::ShownRows() const {
    return proxy_->rowCount();
}

uint32_t LogWindow::SelectedRecNo() const {
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : proxy_->RecNoAt(rows.first().row());
}

QString LogWindow::SelectedNumber() const {
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    if (rows.isEmpty()) return QString();
    const int column = Log().Active() ? Log().FieldIndex("MAILERNUM") : -1;
    if (column < 0) return QString();
    return proxy_->index(rows.first().row(), column).data().toString().trimmed();
}

void LogWindow::UpdateButtons() {
    const bool any = SelectedRecNo() != 0;
    track_->setEnabled(any);
    proof_->setEnabled(any);
    reprint_->setEnabled(any);
}

void LogWindow::Track() {
    const QString number = SelectedNumber();
    if (number.isEmpty()) return;
    const QUrl url(TrackingUrlFor(number));
    if (!openUrl_(url))
        QMessageBox::information(this, QStringLiteral("Track"),
                                 QStringLiteral("No web browser could open the tracking page:\n") +
                                     url.toString());
}

void LogWindow::OpenProof() {
    const uint32_t rec = SelectedRecNo();
    const QString number = SelectedNumber();
    if (!rec || number.isEmpty()) return;
    const int key = index_.Date(rec);
    const QDate printed(key / 10000, key / 100 % 100, key % 100);
    const QString path = MailerProofPath(number, printed);
    if (!QFileInfo(path).isFile()) {
        QMessageBox::warning(this, QStringLiteral("Open Proof"),
                             QStringLiteral("There is no PDF proof of ") + number +
                                 QStringLiteral(":\n") + path);
        return;
    }
    if (!openUrl_(QUrl::fromLocalFile(path)))
        QMessageBox::warning(this, QStringLiteral("Open Proof"),
                             QStringLiteral("No program could open the PDF proof:\n") + path);
}

void LogWindow::Reprint() {
    const QString number = SelectedNumber();
    if (!number.isEmpty()) emit reprintRequested(number);
}

void LogWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) RefreshIfChanged();
    QWidget::changeEvent(event);
}

void LogWindow::showEvent(QShowEvent* event) {
    timer_->start();
    QWidget::showEvent(event);
}

void LogWindow::hideEvent(QHideEvent* event) {
    timer_->stop();
    QWidget::hideEvent(event);
}

} // namespace qm
