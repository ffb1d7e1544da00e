#pragma once

#include "calc/TvQuery.h"
#include "calc/TvUnitSearch.h"
#include "ui/TvFormControl.h"

#include <QDialog>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace tv {

class THitModel;

// A unit taken in the unit search, as the source unit or as the target unit; or a whole query
// typed into the search field.
struct TFindChoice {
    TUnitHit Hit;
    bool Target = false;
    std::optional<TQuery> Query;
    QString QueryText; // the query as typed
};

// The unit search dialog "単位の検索": a filter field over the units of every group. Enter takes
// the current hit as the source unit, Shift+Enter as the target unit, Escape closes. A field that
// holds a whole query ("5 ft to m") is taken as that query by Enter and Shift+Enter.
class TTvFrmFind : public QDialog {
    Q_OBJECT
public:
    explicit TTvFrmFind(QWidget* parent = nullptr);

    // Shows the dialog modally over search's units; returns the unit taken, or nothing when the
    // dialog was closed without one. The filter holds filter when given, else the text of the
    // last search, selected. With query data (whose names are search) a whole query can be
    // taken too.
    std::optional<TFindChoice> ShowModal(const TUnitSearch& search,
                                         const TQueryData* queries = nullptr,
                                         const std::optional<QString>& filter = std::nullopt);
    // Units listed first while the filter is empty, before every unit: the recently used ones.
    void SetRecent(std::vector<TUnitHit> recent) { recent_ = std::move(recent); }

    // For tests: the parts a user sees.
    QLineEdit* edtFilter() const { return edtFilter_; }
    QTreeView* lstHits() const { return lstHits_; }
    QLabel* lblCount() const { return lblCount_; }
    QPushButton* btnSource() const { return btnSource_; }
    QPushButton* btnTarget() const { return btnTarget_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FrmFindShow();
    // At the first showing: wide enough for the longest unit name and group name of search,
    // within the screen. Later showings keep the size the user may have given it.
    void FitToNames(const TUnitSearch& search);
    void edtFilterChange();
    // Takes the current hit; without one, the exclamation beep and the dialog stays open.
    void TakeHit(bool target);
    // Enter: the query in the field when it holds a whole one, else the current hit.
    void TakeQueryOrHit(bool target);

    THitModel* model_ = nullptr;
    const TQueryData* queries_ = nullptr;
    std::optional<TQuery> query_; // the whole query in the field, if it holds one
    std::optional<TFindChoice> choice_;
    std::vector<TUnitHit> recent_;
    bool fitted_ = false;

    QLineEdit* edtFilter_ = nullptr;
    QTreeView* lstHits_ = nullptr;
    TStatusPanel* lblCount_ = nullptr;
    QPushButton* btnSource_ = nullptr;
    QPushButton* btnTarget_ = nullptr;
};

} // namespace tv
