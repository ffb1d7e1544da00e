#pragma once

#include "history/TvHistory.h"

#include <QDialog>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace tv {

class TEntryModel;

// The history window "履歴": the kept conversions, newest first, with a filter field that folds
// text as the unit search does. Enter takes the current entry, Delete removes it, a command
// clears the whole history after a confirmation, Escape closes.
class TTvFrmHistory : public QDialog {
    Q_OBJECT
public:
    explicit TTvFrmHistory(QWidget* parent = nullptr);
    ~TTvFrmHistory() override;

    // Shows the dialog modally over the entries of store; returns the entry taken, or nothing
    // when the dialog was closed without one. Removals and the clearing are written at once.
    std::optional<THistoryEntry> ShowModal(THistory& store);
    // Whether the last showing cleared the whole history.
    bool Cleared() const { return cleared_; }

    // For tests: the parts a user sees.
    QLineEdit* edtFilter() const { return edtFilter_; }
    QTreeView* lstEntries() const { return lstEntries_; }
    QLabel* lblCount() const { return lblCount_; }
    QPushButton* btnApply() const { return btnApply_; }
    QPushButton* btnDelete() const { return btnDelete_; }
    QPushButton* btnClear() const { return btnClear_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FrmHistoryShow();
    void edtFilterChange();
    // Takes the current entry; without one, the exclamation beep and the window stays open.
    void TakeEntry();
    void DeleteEntry();
    void btnClearClick();
    // The entry of the current row, or null.
    const THistoryEntry* Current() const;

    THistory* store_ = nullptr;
    std::vector<THistoryEntry> entries_;
    std::unique_ptr<THistoryIndex> index_;
    TEntryModel* model_ = nullptr;
    std::optional<THistoryEntry> choice_;
    bool cleared_ = false;

    QLineEdit* edtFilter_ = nullptr;
    QTreeView* lstEntries_ = nullptr;
    QLabel* lblCount_ = nullptr;
    QPushButton* btnApply_ = nullptr;
    QPushButton* btnDelete_ = nullptr;
    QPushButton* btnClear_ = nullptr;
};

// The texts the history window shows for an entry: its group ("基数変換" on the base page), the
// value with its unit or base, and the result with its unit or base ("一括変換 (3 件)" for a
// batch).
QString EntryGroupText(const THistoryEntry& entry);
QString EntrySourceText(const THistoryEntry& entry);
QString EntryTargetText(const THistoryEntry& entry);

} // namespace tv
