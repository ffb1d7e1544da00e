#include "ui/Tv10FrmHistory.h"

#include "ui/TvFormControl.h"
#include "ui/TvQtText.h"
#include "ui/TvSound.h"

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace tv {

namespace {

// "2.5 [マイル [mi]]" on the unit page, "FF (16)" on the base page, as the report writes them.
QString WithUnit(const THistoryEntry& entry, const std::string& value, const std::string& unit) {
    return entry.Page == THistoryPage::Base
               ? Q(value) + QStringLiteral(" (") + Q(unit) + QLatin1Char(')')
               : Q(value) + QStringLiteral(" [") + Q(unit) + QLatin1Char(']');
}

} // namespace

QString EntryGroupText(const THistoryEntry& entry) {
    return entry.Page == THistoryPage::Base ? QStringLiteral("基数変換") : Q(entry.Group);
}

QString EntrySourceText(const THistoryEntry& entry) {
    return WithUnit(entry, entry.Value, entry.Source);
}

QString EntryTargetText(const THistoryEntry& entry) {
    if (entry.Batch) {
        // One report line per conversion; a formula line (ShowExp) starts with a tab.
        int conversions = 0;
        for (size_t start = 0; start < entry.Result.size();) {
            const size_t end = std::min(entry.Result.find('\n', start), entry.Result.size());
            conversions += end > start && entry.Result[start] != '\t' ? 1 : 0;
            start = end + 1;
        }
        return QStringLiteral("一括変換 (%1 件)").arg(conversions);
    }
    return WithUnit(entry, entry.Result, entry.Target);
}

// The entries that the filter keeps, as a table of time, group, source and target. Texts are
// made only for the rows a view asks for.
class TEntryModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetRows(const std::vector<THistoryEntry>* entries, std::vector<size_t> rows) {
        beginResetModel();
        entries_ = entries;
        rows_ = std::move(rows);
        endResetModel();
    }

    // The position in the entries of a row, or -1.
    ptrdiff_t EntryAt(int row) const {
        return row >= 0 && static_cast<size_t>(row) < rows_.size()
                   ? static_cast<ptrdiff_t>(rows_[static_cast<size_t>(row)])
                   : -1;
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }

    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : 4;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        const ptrdiff_t at = EntryAt(index.row());
        if (entries_ == nullptr || at < 0 || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
            return {};
        }
        const THistoryEntry& entry = (*entries_)[static_cast<size_t>(at)];
        if (role == Qt::ToolTipRole && entry.Batch) {
            return EntrySourceText(entry) + QLatin1Char('\n') + Q(entry.Result);
        }
        switch (index.column()) {
        case 0:
            return QDateTime::fromSecsSinceEpoch(entry.Time)
                .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        case 1:
            return EntryGroupText(entry);
        case 2:
            return EntrySourceText(entry);
        default:
            return EntryTargetText(entry);
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
            return {};
        }
        static const char* const kTitles[] = {"日時", "集団", "変換前", "変換後"};
        return QString::fromUtf8(kTitles[std::clamp(section, 0, 3)]);
    }

private:
    const std::vector<THistoryEntry>* entries_ = nullptr;
    std::vector<size_t> rows_;
};

TTvFrmHistory::TTvFrmHistory(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    MakeDialogFrame(this);
    setWindowTitle(QStringLiteral("履歴"));
    setMinimumSize(400, 240);

    auto* lblFilter = new QLabel(QStringLiteral("検索(&S):"), this);
    edtFilter_ = new QLineEdit(this);
    edtFilter_->setObjectName(QStringLiteral("edtFilter"));
    edtFilter_->setAccessibleName(QStringLiteral("履歴の検索"));
    lblFilter->setBuddy(edtFilter_);
    edtFilter_->installEventFilter(this);

    model_ = new TEntryModel(this);
    lstEntries_ = new QTreeView(this);
    lstEntries_->setObjectName(QStringLiteral("lstEntries"));
    lstEntries_->setAccessibleName(QStringLiteral("履歴の一覧"));
    lstEntries_->setModel(model_);
    lstEntries_->setRootIsDecorated(false);
    lstEntries_->setItemsExpandable(false);
    lstEntries_->setUniformRowHeights(true);
    lstEntries_->setAllColumnsShowFocus(true);
    lstEntries_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstEntries_->setSelectionMode(QAbstractItemView::SingleSelection);
    lstEntries_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstEntries_->setTextElideMode(Qt::ElideMiddle);
    // The focus stays in the filter field, which moves in the list with Up and Down.
    lstEntries_->setFocusPolicy(Qt::NoFocus);
    QHeaderView* header = lstEntries_->header();
    header->setStretchLastSection(true);
    // The time whole, with a character's room for the cell's margins.
    const QFontMetrics metrics = lstEntries_->fontMetrics();
    header->resizeSection(0, metrics.horizontalAdvance(QStringLiteral("0000-00-00 00:00")) +
                                 2 * metrics.averageCharWidth());
    header->resizeSection(1, 90);
    header->resizeSection(2, 170);

    lblCount_ = new QLabel(this);
    lblCount_->setObjectName(QStringLiteral("lblCount"));
    btnApply_ = new QPushButton(QStringLiteral("もう一度変換(&A)"), this);
    btnApply_->setObjectName(QStringLiteral("btnApply"));
    btnApply_->setToolTip(QStringLiteral("Enter"));
    btnDelete_ = new QPushButton(QStringLiteral("削除(&D)"), this);
    btnDelete_->setObjectName(QStringLiteral("btnDelete"));
    btnDelete_->setToolTip(QStringLiteral("Delete"));
    btnClear_ = new QPushButton(QStringLiteral("すべて消去(&C)..."), this);
    btnClear_->setObjectName(QStringLiteral("btnClear"));
    auto* btnClose = new QPushButton(QStringLiteral("閉じる"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setToolTip(QStringLiteral("Esc"));
    for (QPushButton* button : {btnApply_, btnDelete_, btnClear_, btnClose}) {
        // A click leaves the focus in the filter field.
        button->setFocusPolicy(Qt::TabFocus);
        button->setAutoDefault(false);
    }

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(lblFilter);
    filterRow->addWidget(edtFilter_, 1);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(lblCount_, 1);
    buttonRow->addWidget(btnApply_);
    buttonRow->addWidget(btnDelete_);
    buttonRow->addWidget(btnClear_);
    buttonRow->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    layout->addLayout(filterRow);
    layout->addWidget(lstEntries_, 1);
    layout->addLayout(buttonRow);
    resize(600, 360);

    connect(edtFilter_, &QLineEdit::textChanged, this, [this] { edtFilterChange(); });
    connect(lstEntries_, &QTreeView::doubleClicked, this, [this] { TakeEntry(); });
    connect(btnApply_, &QPushButton::clicked, this, [this] { TakeEntry(); });
    connect(btnDelete_, &QPushButton::clicked, this, [this] { DeleteEntry(); });
    connect(btnClear_, &QPushButton::clicked, this, [this] { btnClearClick(); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
}

TTvFrmHistory::~TTvFrmHistory() = default;

std::optional<THistoryEntry> TTvFrmHistory::ShowModal(THistory& store) {
    store_ = &store;
    choice_.reset();
    cleared_ = false;
    entries_ = store.Entries();
    index_.reset();
    FrmHistoryShow();
    exec();
    model_->SetRows(nullptr, {});
    entries_.clear();
    index_.reset();
    store_ = nullptr;
    return std::exchange(choice_, std::nullopt);
}

void TTvFrmHistory::FrmHistoryShow() {
    SetTopMost(this, TopMostMode);
    CenterForm(this);
    // Each showing starts from the newest entry with no filter.
    edtFilter_->clear();
    edtFilterChange();
    edtFilter_->setFocus();
}

void TTvFrmHistory::edtFilterChange() {
    std::vector<size_t> rows;
    const QString filter = edtFilter_->text();
    if (filter.isEmpty()) {
        rows.resize(entries_.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            rows[i] = i;
        }
    } else {
        // The entries are folded at the first filter, so that opening the window costs only
        // reading them.
        if (!index_) {
            index_ = std::make_unique<THistoryIndex>(entries_);
        }
        rows = index_->Find(filter.toStdString());
    }
    const int count = static_cast<int>(rows.size());
    model_->SetRows(&entries_, std::move(rows));
    lblCount_->setText(QStringLiteral("%1 件").arg(count));
    btnApply_->setEnabled(count > 0);
    btnDelete_->setEnabled(count > 0);
    btnClear_->setEnabled(!entries_.empty());
    if (count > 0) {
        lstEntries_->setCurrentIndex(model_->index(0, 0));
    }
}

const THistoryEntry* TTvFrmHistory::Current() const {
    const ptrdiff_t at = model_->EntryAt(lstEntries_->currentIndex().row());
    return at < 0 ? nullptr : &entries_[static_cast<size_t>(at)];
}

void TTvFrmHistory::TakeEntry() {
    const THistoryEntry* entry = Current();
    if (entry == nullptr) {
        Sound().Exclamation();
        return;
    }
    choice_ = *entry;
    accept();
}

void TTvFrmHistory::DeleteEntry() {
    const THistoryEntry* entry = Current();
    if (entry == nullptr || store_ == nullptr) {
        Sound().Exclamation();
        return;
    }
    const int row = lstEntries_->currentIndex().row();
    try {
        store_->Remove(entry->Id);
    } catch (const EHistoryError& e) {
        ShowErrorBox(this, QString::fromUtf8(e.what()));
        return;
    }
    entries_.erase(entries_.begin() + model_->EntryAt(row));
    index_.reset();
    edtFilterChange();
    // The row below takes the removed one's place, so Delete can be pressed again.
    const int rows = model_->rowCount();
    if (rows > 0) {
        lstEntries_->setCurrentIndex(model_->index(std::min(row, rows - 1), 0));
    }
}

void TTvFrmHistory::btnClearClick() {
    if (store_ == nullptr) {
        return;
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("確認"),
                    QStringLiteral("履歴をすべて消去しますか？"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    if (box.exec() != QMessageBox::Yes) {
        return;
    }
    try {
        store_->Clear();
    } catch (const EHistoryError& e) {
        ShowErrorBox(this, QString::fromUtf8(e.what()));
        return;
    }
    cleared_ = true;
    entries_.clear();
    index_.reset();
    edtFilterChange();
    Sound().Asterisk();
}

bool TTvFrmHistory::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtFilter_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            if (modifiers == Qt::NoModifier) {
                QCoreApplication::sendEvent(lstEntries_, key);
                return true;
            }
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (modifiers == Qt::NoModifier) {
                TakeEntry();
                return true;
            }
            break;
        case Qt::Key_Delete:
            // Where the field's own Delete would do nothing (the caret at the end, nothing
            // selected), Delete removes the entry.
            if (modifiers == Qt::NoModifier && !edtFilter_->hasSelectedText() &&
                edtFilter_->cursorPosition() == edtFilter_->text().size()) {
                DeleteEntry();
                return true;
            }
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tv
