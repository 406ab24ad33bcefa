#pragma once
// The Mailing Log window: the log's pieces newest first (or in one of the report's orders), a
// search box and a date range that filter as the user types, and the commands on the selected
// piece (Track, Open Proof, Reprint). It reads the log again when another copy logs a piece.
//
//   auto* w = new LogWindow(LogTablePath(), parent);
//   connect(w, &LogWindow::reprintRequested, main, &TF_Main::ReprintLoggedPiece);
//   w->show();

#include "log/log_search.h"

#include <QAbstractProxyModel>
#include <QDateTime>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;
class TTzDbfModel;

namespace qm {

class SharedLogUse;
namespace table {
class TTzDbf;
}

// The view's rows: the model's records that match the query, in the chosen order. The order
// is made once (on a read or a change of order); a query walks it and keeps the matches, and
// the view is reset rather than told of each row, so a keystroke costs one pass.
class LogFilterProxy : public QAbstractProxyModel {
    Q_OBJECT
public:
    LogFilterProxy(const LogSearchIndex& index, QObject* parent);
    void setSourceModel(QAbstractItemModel* model) override;
    void SetQuery(const LogQuery& q);
    void SetOrder(LogOrder order);
    LogOrder Order() const { return order_; }
    // Orders and filters the source's rows again (after the source was read again).
    void Rebuild();
    uint32_t RecNoAt(int proxyRow) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    uint32_t SourceRecNo(int sourceRow) const;
    void Sort();
    void Filter();
    const LogSearchIndex& index_;
    LogQuery query_;
    LogOrder order_ = LogOrder::Record;
    std::vector<int> ordered_; // source rows of the records the index knows, in order
    std::vector<int> rows_;    // the shown source rows
    std::vector<int> rowOf_;   // source row -> shown row, -1 when not shown
};

class LogWindow : public QWidget {
    Q_OBJECT
public:
    // Opens the URL (the tracking page or a proof); false when nothing could open it.
    using UrlOpener = std::function<bool(const QUrl&)>;

    explicit LogWindow(const QString& logPath, QWidget* parent = nullptr);
    ~LogWindow() override;

    void SetUrlOpener(UrlOpener opener) { openUrl_ = std::move(opener); }
    // Reads the log again when its file changed since the last read; true when it did.
    bool RefreshIfChanged();
    int ShownRows() const;
    // The tracking number of the selected piece (grouped, as stored); empty for none.
    QString SelectedNumber() const;

signals:
    // Reprint of the selected piece, with its tracking number as stored.
    void reprintRequested(const QString& mailernum);

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Reload();
    void ApplyQuery();
    void ApplyOrder(int comboIndex);
    void HeaderClicked(int section);
    void Track();
    void OpenProof();
    void Reprint();
    uint32_t SelectedRecNo() const;
    void UpdateButtons();

    QString path_;
    table::TTzDbf& Log() const;

    std::unique_ptr<SharedLogUse> log_; // the process's log, open while the window is

    std::unique_ptr<TTzDbfModel> model_;
    LogSearchIndex index_;
    LogFilterProxy* proxy_ = nullptr;
    QLineEdit* search_ = nullptr;
    QDateEdit* from_ = nullptr;
    QDateEdit* to_ = nullptr;
    QComboBox* order_ = nullptr;
    QTableView* view_ = nullptr;
    QPushButton* track_ = nullptr;
    QPushButton* proof_ = nullptr;
    QPushButton* reprint_ = nullptr;
    QTimer* timer_ = nullptr;
    qint64 seenSize_ = -1;
    QDateTime seenTime_;
    UrlOpener openUrl_;
};

} // namespace qm
