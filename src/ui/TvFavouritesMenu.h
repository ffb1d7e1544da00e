#pragma once

#include "history/TvHistory.h"

#include <functional>
#include <vector>

class QAction;
class QMenu;

namespace tv {

// The favourites as items of the favourites menu, before one of its items: the first nine on
// Ctrl+1 to Ctrl+9, "&1" to "&9" their access keys.
class TFavouritesMenu {
public:
    TFavouritesMenu(QMenu* menu, QAction* before, std::function<void(const TFavourite&)> chosen);

    // Replaces the items with favourites; an empty list shows a disabled note.
    void Fill(const std::vector<TFavourite>& favourites);
    // The items, for the window's routing of their shortcuts.
    const std::vector<QAction*>& Items() const { return items_; }

private:
    QMenu* menu_;
    QAction* before_;
    std::function<void(const TFavourite&)> chosen_;
    std::vector<QAction*> items_;
};

} // namespace tv
