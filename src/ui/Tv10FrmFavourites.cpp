#include "ui/Tv10FrmFavourites.h"

#include "ui/TvFormControl.h"
#include "ui/TvSound.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tv {

TTvFrmFavourites::TTvFrmFavourites(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    MakeDialogFrame(this);
    setWindowTitle(QStringLiteral("お気に入りの整理"));
    setMinimumSize(320, 200);

    auto* label = new QLabel(QStringLiteral("お気に入り(&L):"), this);
    lstFavourites_ = new QListWidget(this);
    lstFavourites_->setObjectName(QStringLiteral("lstFavourites"));
    lstFavourites_->setAccessibleName(QStringLiteral("お気に入り"));
    lstFavourites_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    label->setBuddy(lstFavourites_);
    lstFavourites_->installEventFilter(this);

    btnRename_ = new QPushButton(QStringLiteral("名前の変更(&R)"), this);
    btnRename_->setObjectName(QStringLiteral("btnRename"));
    btnRename_->setToolTip(QStringLiteral("F2"));
    btnUp_ = new QPushButton(QStringLiteral("上へ(&U)"), this);
    btnUp_->setObjectName(QStringLiteral("btnUp"));
    btnUp_->setToolTip(QStringLiteral("Ctrl+Up"));
    btnDown_ = new QPushButton(QStringLiteral("下へ(&N)"), this);
    btnDown_->setObjectName(QStringLiteral("btnDown"));
    btnDown_->setToolTip(QStringLiteral("Ctrl+Down"));
    btnDelete_ = new QPushButton(QStringLiteral("削除(&D)"), this);
    btnDelete_->setObjectName(QStringLiteral("btnDelete"));
    btnDelete_->setToolTip(QStringLiteral("Delete"));
    auto* btnClose = new QPushButton(QStringLiteral("閉じる"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setToolTip(QStringLiteral("Esc"));
    for (QPushButton* button : {btnRename_, btnUp_, btnDown_, btnDelete_, btnClose}) {
        button->setFocusPolicy(Qt::TabFocus);
        button->setAutoDefault(false);
    }

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(btnRename_);
    buttons->addWidget(btnUp_);
    buttons->addWidget(btnDown_);
    buttons->addWidget(btnDelete_);
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    auto* row = new QHBoxLayout;
    row->addWidget(lstFavourites_, 1);
    row->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    layout->addWidget(label);
    layout->addLayout(row, 1);
    resize(420, 260);

    connect(btnRename_, &QPushButton::clicked, this, [this] { btnRenameClick(); });
    connect(btnUp_, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(btnDown_, &QPushButton::clicked, this, [this] { Move(1); });
    connect(btnDelete_, &QPushButton::clicked, this, [this] { btnDeleteClick(); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(lstFavourites_, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* item) { Renamed(item); });
    connect(lstFavourites_, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
}

void TTvFrmFavourites::ShowModal(THistory& store) {
    store_ = &store;
    SetTopMost(this, TopMostMode);
    CenterForm(this);
    Fill(0);
    lstFavourites_->setFocus();
    exec();
    store_ = nullptr;
}

void TTvFrmFavourites::Fill(int row) {
    filling_ = true;
    lstFavourites_->clear();
    try {
        favourites_ = store_->Favourites();
    } catch (const EHistoryError& e) {
        favourites_.clear();
        ShowErrorBox(this, QString::fromUtf8(e.what()));
    }
    for (const TFavourite& favourite : favourites_) {
        auto* item = new QListWidgetItem(QString::fromStdString(favourite.Name), lstFavourites_);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    filling_ = false;
    if (!favourites_.empty()) {
        lstFavourites_->setCurrentRow(std::clamp(row, 0, static_cast<int>(favourites_.size()) - 1));
    }
    UpdateButtons();
}

void TTvFrmFavourites::UpdateButtons() {
    const int row = lstFavourites_->currentRow();
    const int count = lstFavourites_->count();
    btnRename_->setEnabled(row >= 0);
    btnDelete_->setEnabled(row >= 0);
    btnUp_->setEnabled(row > 0);
    btnDown_->setEnabled(row >= 0 && row < count - 1);
}

template <typename F> void TTvFrmFavourites::Change(F&& change, int rowAfter) {
    try {
        change();
    } catch (const EHistoryError& e) {
        ShowErrorBox(this, QString::fromUtf8(e.what()));
    }
    Fill(rowAfter);
}

void TTvFrmFavourites::btnRenameClick() {
    if (QListWidgetItem* item = lstFavourites_->currentItem()) {
        lstFavourites_->setFocus();
        lstFavourites_->editItem(item);
    }
}

void TTvFrmFavourites::Renamed(QListWidgetItem* item) {
    if (filling_) {
        return;
    }
    const int row = lstFavourites_->row(item);
    if (row < 0 || static_cast<size_t>(row) >= favourites_.size()) {
        return;
    }
    // The list is refilled only after the editor has let go of the item.
    const auto refillLater = [this, row] {
        QTimer::singleShot(0, this, [this, row] { Fill(row); });
    };
    const std::string name = item->text().trimmed().toStdString();
    // An empty name would leave a menu item without a text: the old name stays.
    if (name.empty()) {
        Sound().Exclamation();
        refillLater();
        return;
    }
    TFavourite& favourite = favourites_[static_cast<size_t>(row)];
    try {
        store_->RenameFavourite(favourite.Id, name);
        favourite.Name = name;
    } catch (const EHistoryError& e) {
        const QString message = QString::fromUtf8(e.what());
        QTimer::singleShot(0, this, [this, message] { ShowErrorBox(this, message); });
    }
    refillLater();
}

void TTvFrmFavourites::Move(int by) {
    const int row = lstFavourites_->currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= lstFavourites_->count()) {
        Sound().Exclamation();
        return;
    }
    const int64_t id = favourites_[static_cast<size_t>(row)].Id;
    Change([&] { store_->MoveFavourite(id, static_cast<size_t>(to)); }, to);
}

void TTvFrmFavourites::btnDeleteClick() {
    const int row = lstFavourites_->currentRow();
    if (row < 0) {
        Sound().Exclamation();
        return;
    }
    const int64_t id = favourites_[static_cast<size_t>(row)].Id;
    Change([&] { store_->RemoveFavourite(id); }, row);
}

bool TTvFrmFavourites::eventFilter(QObject* watched, QEvent* event) {
    // While a name is edited the keys go to the editor, not to the list.
    if (watched == lstFavourites_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (modifiers == Qt::ControlModifier && key->key() == Qt::Key_Up) {
            Move(-1);
            return true;
        }
        if (modifiers == Qt::ControlModifier && key->key() == Qt::Key_Down) {
            Move(1);
            return true;
        }
        if (modifiers == Qt::NoModifier && key->key() == Qt::Key_Delete) {
            btnDeleteClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tv
