#pragma once

#include "history/TvHistory.h"

#include <QDialog>
#include <vector>

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace tv {

// The favourites' manager "お気に入りの整理": rename (F2), move up and down (Ctrl+Up,
// Ctrl+Down) and delete (Delete) the favourites. Every change is written at once.
class TTvFrmFavourites : public QDialog {
    Q_OBJECT
public:
    explicit TTvFrmFavourites(QWidget* parent = nullptr);

    void ShowModal(THistory& store);

    // For tests: the parts a user sees.
    QListWidget* lstFavourites() const { return lstFavourites_; }
    QPushButton* btnRename() const { return btnRename_; }
    QPushButton* btnUp() const { return btnUp_; }
    QPushButton* btnDown() const { return btnDown_; }
    QPushButton* btnDelete() const { return btnDelete_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Fills the list from the store and selects the row.
    void Fill(int row);
    void btnRenameClick();
    void Renamed(QListWidgetItem* item);
    void Move(int by);
    void btnDeleteClick();
    // Runs a change of the store; a failure is shown in the error box and the list refilled.
    template <typename F> void Change(F&& change, int rowAfter);
    void UpdateButtons();

    THistory* store_ = nullptr;
    std::vector<TFavourite> favourites_;
    bool filling_ = false;

    QListWidget* lstFavourites_ = nullptr;
    QPushButton* btnRename_ = nullptr;
    QPushButton* btnUp_ = nullptr;
    QPushButton* btnDown_ = nullptr;
    QPushButton* btnDelete_ = nullptr;
};

} // namespace tv
