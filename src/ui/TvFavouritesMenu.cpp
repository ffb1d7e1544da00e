#include "ui/TvFavouritesMenu.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <utility>

namespace tv {

TFavouritesMenu::TFavouritesMenu(QMenu* menu, QAction* before,
                                 std::function<void(const TFavourite&)> chosen)
    : menu_(menu), before_(before), chosen_(std::move(chosen)) {}

void TFavouritesMenu::Fill(const std::vector<TFavourite>& favourites) {
    for (QAction* item : items_) {
        menu_->removeAction(item);
        delete item;
    }
    items_.clear();
    if (favourites.empty()) {
        auto* note = new QAction(QStringLiteral("（お気に入りはありません）"), menu_);
        note->setObjectName(QStringLiteral("mnuFavouriteNone"));
        note->setEnabled(false);
        menu_->insertAction(before_, note);
        items_.push_back(note);
        return;
    }
    for (size_t i = 0; i < favourites.size(); ++i) {
        // An "&" of the name is shown, not taken as an access key.
        QString text = QString::fromStdString(favourites[i].Name);
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* item = new QAction(menu_);
        item->setObjectName(QStringLiteral("mnuFavourite%1").arg(i + 1));
        if (i < 9) {
            item->setText(QStringLiteral("&%1 ").arg(i + 1) + text);
            item->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + i)));
        } else {
            item->setText(text);
        }
        QObject::connect(item, &QAction::triggered, menu_,
                         [this, favourite = favourites[i]] { chosen_(favourite); });
        menu_->insertAction(before_, item);
        items_.push_back(item);
    }
}

} // namespace tv
