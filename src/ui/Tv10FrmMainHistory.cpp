// The main window's history and favourites: recording settings, the history window, the
// favourites menu, and applying an entry or a favourite to the pages.
#include "calc/TvUnitSearch.h"
#include "ui/Tv10FrmFavourites.h"
#include "ui/Tv10FrmHistory.h"
#include "ui/Tv10FrmMain.h"
#include "ui/TvFavouritesMenu.h"
#include "ui/TvHistoryRecorder.h"
#include "ui/TvIniFile.h"
#include "ui/TvQtText.h"
#include "ui/TvSettingKeys.h"
#include "ui/TvSound.h"
#include "ui/UAlEdit.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTabWidget>

namespace tv {

void TTvFrmMain::ReadHistorySettings(const TIniFile& ini) {
    history_->SetKeeping(
        Choice(setting::HistoryOn, ReadSetting(ini, setting::HistoryOn)) == 1,
        Choice(setting::HistoryEntries, ReadSetting(ini, setting::HistoryEntries)));
}

THistoryEntry TTvFrmMain::PageEntry(bool basePage, const std::string& result) const {
    THistoryEntry entry;
    entry.Result = result;
    entry.ShowAns = ShowAns;
    if (basePage) {
        entry.Page = THistoryPage::Base;
        entry.Source = S(edtBaseInput->text());
        entry.Target = S(edtBaseOutput->text());
        entry.Value = S(edtInputB->text());
    } else {
        entry.Group = S(comUnits->currentText());
        entry.Source = S(comInput->currentText());
        entry.Target = S(comOutput->currentText());
        entry.Value = S(edtInput->text());
    }
    return entry;
}

std::vector<TUnitHit> TTvFrmMain::RecentHits() const {
    constexpr size_t kRecent = 10;
    THistory* store = history_->Store();
    try {
        return store == nullptr ? std::vector<TUnitHit>()
                                : RecentUnitHits(store->RecentUnits(kRecent), *units_);
    } catch (const EHistoryError&) {
        return {};
    }
}

std::vector<THistoryEntry> TTvFrmMain::RecentEntries(size_t count) {
    if (history_->Store() == nullptr) {
        return {};
    }
    history_->Flush();
    try {
        return history_->Store()->Entries(count);
    } catch (const EHistoryError& e) {
        history_->Warn(QStringLiteral("履歴を読み込めませんでした。"), Q(e.what()));
        return {};
    }
}

void TTvFrmMain::mnuHistoryClick() {
    THistory* store = history_->CreateStore();
    if (store == nullptr) {
        Sound().Exclamation();
        SetStatus(QStringLiteral("履歴：使用できません"));
        return;
    }
    history_->Flush();
    if (!frmHistory_) {
        frmHistory_ = new TTvFrmHistory(this);
    }
    if (const std::optional<THistoryEntry> entry = frmHistory_->ShowModal(*store)) {
        ApplyEntry(*entry);
    } else if (frmHistory_->Cleared()) {
        SetStatus(QStringLiteral("履歴：消去完了"));
    }
}

void TTvFrmMain::ShowPage(int page) {
    if (PageControl->currentIndex() != page) {
        {
            const QSignalBlocker blocker(PageControl);
            PageControl->setCurrentIndex(page);
        }
        PageControlChange();
    }
}

bool TTvFrmMain::SelectUnitPair(const std::string& group, const std::string& source,
                                const std::string& target) {
    const TUnitPairPlace place = FindUnitPair(*units_, group, source, target);
    if (!place.Found()) {
        // Never another unit in its place: the user learns which one is gone.
        Sound().Exclamation();
        SetStatus((place.Group < 0 ? QStringLiteral("集団がありません：")
                                   : QStringLiteral("単位がありません：")) +
                  Q(place.Missing));
        return false;
    }
    ShowPage(0);
    comUnits->setCurrentIndex(place.Group);
    comUnitsClick();
    comInput->setCurrentIndex(place.Source);
    if (place.Target >= 0) {
        comOutput->setCurrentIndex(place.Target);
    }
    return true;
}

void TTvFrmMain::ApplyEntry(const THistoryEntry& entry) {
    if (entry.Page == THistoryPage::Base) {
        ShowPage(1);
        SetBoxText(edtBaseInput, Q(entry.Source));
        if (!entry.Batch) {
            edtBaseOutput->setText(Q(entry.Target));
        }
        SetBoxText(edtInputB, Q(entry.Value));
    } else {
        if (!SelectUnitPair(entry.Group, entry.Source,
                            entry.Batch ? std::string() : entry.Target)) {
            return;
        }
        SetBoxText(edtInput, Q(entry.Value));
    }
    if (entry.Batch) {
        mnuAConvClick();
    } else {
        mnuNConvClick();
    }
}

void TTvFrmMain::OpenHistoryAhead() {
    history_->OpenAhead();
}

// From the store if it is open; it fills the menu again when it opens.
void TTvFrmMain::FillFavourites() {
    std::vector<TFavourite> favourites;
    if (THistory* store = history_->OpenStore()) {
        try {
            favourites = store->Favourites();
        } catch (const EHistoryError& e) {
            history_->Warn(QStringLiteral("お気に入りを読み込めませんでした。"), Q(e.what()));
        }
    }
    favouritesMenu_->Fill(favourites);
}

void TTvFrmMain::mnuFavouriteAddClick() {
    THistory* store = history_->CreateStore();
    const bool unitPage = PageControl->currentIndex() == 0;
    if (store == nullptr || (unitPage && !UnitListsUsable())) {
        Sound().Exclamation();
        SetStatus(QStringLiteral("お気に入り：追加できません"));
        return;
    }
    const TFavourite favourite =
        unitPage ? UnitFavourite(S(comUnits->currentText()), S(comInput->currentText()),
                                 S(comOutput->currentText()))
                 : BaseFavourite(S(edtBaseInput->text()), S(edtBaseOutput->text()));
    // A store that fails here fails the command: the error box names the file.
    if (!store->AddFavourite(favourite)) {
        Sound().Exclamation();
        SetStatus(QStringLiteral("お気に入り：登録済み"));
        return;
    }
    FillFavourites();
    SetStatus(QStringLiteral("お気に入り：追加完了"));
}

void TTvFrmMain::mnuFavouritesManageClick() {
    THistory* store = history_->CreateStore();
    if (store == nullptr) {
        Sound().Exclamation();
        SetStatus(QStringLiteral("お気に入り：使用できません"));
        return;
    }
    history_->Flush();
    if (!frmFavourites_) {
        frmFavourites_ = new TTvFrmFavourites(this);
    }
    frmFavourites_->ShowModal(*store);
    FillFavourites();
}

void TTvFrmMain::FavouriteClick(const TFavourite& favourite) {
    bool converted = true;
    if (favourite.Page == THistoryPage::Base) {
        ShowPage(1);
        SetBoxText(edtBaseInput, Q(favourite.Source));
        history_->Flush();
        edtBaseOutput->setText(Q(favourite.Target));
        converted = ConvDispose != 1 || BaseConv();
    } else {
        if (!SelectUnitPair(favourite.Group, favourite.Source, favourite.Target)) {
            return;
        }
        converted = comChange();
    }
    // A failed conversion keeps its own status text; otherwise the panel names the favourite.
    if (converted) {
        SetStatus(QStringLiteral("お気に入り：") + Q(favourite.Name));
    }
}

} // namespace tv
