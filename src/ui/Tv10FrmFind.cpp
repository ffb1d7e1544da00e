#include "ui/Tv10FrmFind.h"

#include "ui/TvAccessible.h"
#include "ui/TvFormControl.h"
#include "ui/TvSound.h"

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

namespace tv {

// The hits of the current filter as a table of unit name and group name. Texts are made only
// for the rows a view asks for, so that a filter with 100 000 hits costs little more than the
// search itself.
class THitModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetHits(const TUnitSearch* search, std::vector<TUnitHit> hits) {
        beginResetModel();
        search_ = search;
        hits_ = std::move(hits);
        endResetModel();
    }

    const TUnitSearch* Search() const { return search_; }

    const TUnitHit* Hit(int row) const {
        return row >= 0 && static_cast<size_t>(row) < hits_.size()
                   ? &hits_[static_cast<size_t>(row)]
                   : nullptr;
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(hits_.size());
    }

    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : 2;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        const TUnitHit* hit = Hit(index.row());
        if (search_ == nullptr || hit == nullptr ||
            (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
            return {};
        }
        if (index.column() == 0) {
            const std::string_view name = search_->UnitName(*hit);
            QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
            // A unit found by another name shows that name.
            if (const std::string_view alias = search_->UnitAlias(*hit); !alias.empty()) {
                text += QStringLiteral(" — ") +
                        QString::fromUtf8(alias.data(), static_cast<qsizetype>(alias.size()));
            }
            return text;
        }
        return QString::fromStdString(search_->GroupName(*hit));
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
            return {};
        }
        return section == 0 ? QStringLiteral("単位") : QStringLiteral("集団");
    }

private:
    const TUnitSearch* search_ = nullptr;
    std::vector<TUnitHit> hits_;
};

namespace {

// Display columns of a UTF-8 text, a character of three or four bytes (kana, kanji, full-width
// forms) counting as two: close enough to tell which names are worth measuring.
int EstimatedColumns(std::string_view text) {
    int columns = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            ++columns;
        } else if (byte >= 0xE0) {
            columns += 2;
        } else if (byte >= 0xC0) {
            ++columns;
        }
    }
    return columns;
}

// The widest of texts in metrics. Only the longest few by estimate are laid out, so that a file
// of 100 000 units costs a scan of their bytes rather than 100 000 text layouts.
int WidestText(const QFontMetrics& metrics, const std::vector<std::string_view>& texts) {
    constexpr size_t kMeasured = 32;
    std::vector<std::pair<int, std::string_view>> estimated;
    estimated.reserve(texts.size());
    for (const std::string_view text : texts) {
        estimated.emplace_back(EstimatedColumns(text), text);
    }
    if (estimated.size() > kMeasured) {
        std::nth_element(estimated.begin(), estimated.begin() + kMeasured, estimated.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        estimated.resize(kMeasured);
    }
    int widest = 0;
    for (const auto& [columns, text] : estimated) {
        widest = std::max(widest, metrics.horizontalAdvance(QString::fromUtf8(
                                      text.data(), static_cast<qsizetype>(text.size()))));
    }
    return widest;
}

} // namespace

TTvFrmFind::TTvFrmFind(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    InstallAccessibility();
    MakeDialogFrame(this);
    setWindowTitle(QStringLiteral("単位の検索"));
    setMinimumSize(320, 200);

    auto* lblFilter = new QLabel(QStringLiteral("検索(&S):"), this);
    edtFilter_ = new QLineEdit(this);
    edtFilter_->setObjectName(QStringLiteral("edtFilter"));
    edtFilter_->setAccessibleName(QStringLiteral("検索"));
    lblFilter->setBuddy(edtFilter_);
    edtFilter_->installEventFilter(this);

    model_ = new THitModel(this);
    // The current hit is told as the list's selection; the focus stays in the filter field.
    lstHits_ = new TSelectionTreeView(this);
    lstHits_->setObjectName(QStringLiteral("lstHits"));
    lstHits_->setAccessibleName(QStringLiteral("検索結果"));
    lstHits_->setModel(model_);
    lstHits_->setRootIsDecorated(false);
    lstHits_->setItemsExpandable(false);
    // Rows of one height let the view lay out 100 000 rows without measuring each.
    lstHits_->setUniformRowHeights(true);
    lstHits_->setAllColumnsShowFocus(true);
    lstHits_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstHits_->setSelectionMode(QAbstractItemView::SingleSelection);
    lstHits_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A long name keeps its symbol, which ends it, in view.
    lstHits_->setTextElideMode(Qt::ElideMiddle);
    // The focus stays in the filter field, which moves in the list with Up and Down.
    lstHits_->setFocusPolicy(Qt::NoFocus);
    QHeaderView* header = lstHits_->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(1, QHeaderView::Interactive);
    header->resizeSection(1, 150);

    lblCount_ = new TStatusPanel(this);
    lblCount_->setObjectName(QStringLiteral("lblCount"));
    // A long note (a query's units, its fault) is shortened rather than widening the dialog.
    lblCount_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    btnSource_ = new QPushButton(QStringLiteral("変換前の単位に(&I)"), this);
    btnSource_->setObjectName(QStringLiteral("btnSource"));
    btnSource_->setToolTip(QStringLiteral("Enter"));
    btnTarget_ = new QPushButton(QStringLiteral("変換後の単位に(&O)"), this);
    btnTarget_->setObjectName(QStringLiteral("btnTarget"));
    btnTarget_->setToolTip(QStringLiteral("Shift+Enter"));
    auto* btnCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setToolTip(QStringLiteral("Esc"));
    for (QPushButton* button : {btnSource_, btnTarget_, btnCancel}) {
        // A click leaves the focus in the filter field.
        button->setFocusPolicy(Qt::TabFocus);
        button->setAutoDefault(false);
    }

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(lblFilter);
    filterRow->addWidget(edtFilter_, 1);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(lblCount_, 1);
    buttonRow->addWidget(btnSource_);
    buttonRow->addWidget(btnTarget_);
    buttonRow->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    layout->addLayout(filterRow);
    layout->addWidget(lstHits_, 1);
    layout->addLayout(buttonRow);
    resize(460, 320);

    NameWithoutMnemonics(this);

    connect(edtFilter_, &QLineEdit::textChanged, this, [this] { edtFilterChange(); });
    connect(lstHits_, &QTreeView::doubleClicked, this,
            [this] { TakeHit(QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier)); });
    connect(btnSource_, &QPushButton::clicked, this, [this] { TakeHit(false); });
    connect(btnTarget_, &QPushButton::clicked, this, [this] { TakeHit(true); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<TFindChoice> TTvFrmFind::ShowModal(const TUnitSearch& search,
                                                 const TQueryData* queries,
                                                 const std::optional<QString>& filter) {
    choice_.reset();
    queries_ = queries;
    if (filter) {
        edtFilter_->setText(*filter);
    }
    model_->SetHits(&search, {});
    if (!fitted_) {
        FitToNames(search);
        fitted_ = true;
    }
    FrmFindShow();
    exec();
    // The search may not outlive the dialog's next showing (a data re-read replaces it).
    model_->SetHits(nullptr, {});
    queries_ = nullptr;
    query_.reset();
    return std::exchange(choice_, std::nullopt);
}

void TTvFrmFind::FitToNames(const TUnitSearch& search) {
    std::vector<std::string_view> units;
    std::vector<std::string_view> groups;
    units.reserve(static_cast<size_t>(search.UnitTotal()));
    int32_t lastGroup = -1;
    for (const TUnitHit& hit : search.Find({})) {
        units.push_back(search.UnitName(hit));
        if (hit.Group != lastGroup) {
            groups.push_back(search.GroupName(hit));
            lastGroup = hit.Group;
        }
    }
    const QFontMetrics metrics = lstHits_->fontMetrics();
    // The margins an item view's cell keeps beside its text, and a character's room to spare.
    const int cellMargins =
        2 * (lstHits_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, lstHits_) + 1) +
        metrics.averageCharWidth();
    QHeaderView* header = lstHits_->header();
    const int groupColumn =
        std::max(header->sectionSizeHint(1), WidestText(metrics, groups) + cellMargins);
    header->resizeSection(1, groupColumn);
    const int unitColumn = WidestText(metrics, units) + cellMargins;

    // What the dialog holds beside the list's columns: its margins, the list's frame and room
    // for a vertical scroll bar.
    layout()->activate();
    const int around =
        width() - lstHits_->width() + 2 * lstHits_->frameWidth() +
        lstHits_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, lstHits_);
    const QScreen* screen = this->screen();
    const int widest = screen != nullptr ? screen->availableGeometry().width() * 9 / 10 : width();
    resize(std::clamp(around + unitColumn + groupColumn, width(), std::max(width(), widest)),
           height());
}

void TTvFrmFind::FrmFindShow() {
    SetTopMost(this, TopMostMode);
    CenterForm(this);
    edtFilterChange();
    edtFilter_->selectAll();
    edtFilter_->setFocus();
}

void TTvFrmFind::edtFilterChange() {
    const TUnitSearch* search = model_->Search();
    const std::string filter = edtFilter_->text().toStdString();
    std::vector<TUnitHit> hits;
    if (search != nullptr) {
        hits = search->Find(filter);
        if (filter.empty()) {
            hits.insert(hits.begin(), recent_.begin(), recent_.end());
        }
    }
    const int count = static_cast<int>(hits.size());
    model_->SetHits(search, std::move(hits));
    query_.reset();
    QString note;
    if (queries_ != nullptr) {
        // Suggestions cost a pass over every name: the field shows only what is wrong.
        TQueryParse parse = ParseQuery(filter, *queries_, false);
        if (parse.IsWholeQuery()) {
            query_ = std::move(parse.Query);
            note = QStringLiteral("Enter：%1 → %2 に変換")
                       .arg(QString::fromStdString(query_->Terms.back().Entry.Name),
                            QString::fromStdString(query_->Targets.front().Entry.Name));
        } else if (parse.Kind == TQueryKind::Failed && count == 0) {
            note = QString::fromStdString(parse.Problem.Message);
        }
    }
    lblCount_->SetText(note.isEmpty() ? QStringLiteral("%1 件").arg(count) : note);
    btnSource_->setEnabled(count > 0);
    btnTarget_->setEnabled(count > 0);
    if (count > 0) {
        lstHits_->setCurrentIndex(model_->index(0, 0));
    }
}

void TTvFrmFind::TakeQueryOrHit(bool target) {
    if (!query_) {
        TakeHit(target);
        return;
    }
    choice_ = TFindChoice{{}, target, std::move(query_), edtFilter_->text()};
    query_.reset();
    accept();
}

void TTvFrmFind::TakeHit(bool target) {
    // The list's selected row is the current hit.
    const QModelIndexList selected = lstHits_->selectionModel()->selectedRows();
    const TUnitHit* hit = model_->Hit(selected.isEmpty() ? -1 : selected.first().row());
    if (hit == nullptr) {
        Sound().Exclamation();
        return;
    }
    choice_ = TFindChoice{*hit, target, std::nullopt, QString()};
    accept();
}

bool TTvFrmFind::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtFilter_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            if (modifiers == Qt::NoModifier) {
                QCoreApplication::sendEvent(lstHits_, key);
                return true;
            }
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier) {
                TakeQueryOrHit(modifiers == Qt::ShiftModifier);
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
