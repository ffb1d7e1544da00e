#include "ui/TvHistoryRecorder.h"

#include "ui/TvRecordDebounce.h"

#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <system_error>
#include <utility>

namespace tv {

namespace {

// A warning box shown once the current handler has returned, so that a conversion is never
// held up or entered again by a box's event loop.
void WarnLater(QWidget* window, const QString& text) {
    QTimer::singleShot(0, window, [window = QPointer<QWidget>(window), text] {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("警告"), text, QMessageBox::Ok,
                        window && window->isVisible() ? window.data() : nullptr);
        box.exec();
    });
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

THistoryRecorder::THistoryRecorder(QWidget* window)
    : window_(window), debounce_(std::make_unique<TRecordDebounce>(
                           [this](const THistoryEntry& entry) { Write(entry); })) {}

THistoryRecorder::~THistoryRecorder() = default;

void THistoryRecorder::Open(const std::string& path) {
    path_ = path;
    std::error_code ec;
    // With the history off, not even an empty file is written.
    if ((keeping_ || std::filesystem::exists(path_, ec)) && !THistory::LooksOpenable(path_)) {
        OpenNow();
    }
}

void THistoryRecorder::OpenAhead() {
    if (keeping_) {
        CreateStore();
    } else {
        Store();
    }
    StartLog();
}

void THistoryRecorder::SetOpened(std::function<void()> opened) {
    opened_ = std::move(opened);
}

THistory* THistoryRecorder::Store() {
    std::error_code ec;
    if (!store_ && !failed_ && !path_.empty() && std::filesystem::exists(path_, ec)) {
        OpenNow();
    }
    return store_.get();
}

THistory* THistoryRecorder::CreateStore() {
    if (!store_ && !failed_ && !path_.empty()) {
        OpenNow();
    }
    return store_.get();
}

void THistoryRecorder::OpenNow() {
    try {
        store_ = std::make_unique<THistory>(path_);
    } catch (const EHistoryError& e) {
        failed_ = true;
        Warn(QStringLiteral("履歴を使用できないため、履歴なしで続けます。"), Q(e.what()));
        return;
    }
    if (!store_->BrokenCopy().empty()) {
        WarnLater(window_, QStringLiteral("履歴ファイルが壊れていたため、別の名前で残し、"
                                          "新しい履歴を始めました。\n\n") +
                               Q(store_->BrokenCopy()));
    }
    if (opened_) {
        opened_();
    }
}

void THistoryRecorder::SetKeeping(bool on, int cap) {
    if (!on) {
        debounce_->Drop();
    }
    keeping_ = on;
    cap_ = cap;
    if (on && store_ != nullptr) {
        try {
            store_->Trim(static_cast<size_t>(cap));
        } catch (const EHistoryError& e) {
            Warn(QStringLiteral("履歴に書き込めませんでした。"), Q(e.what()));
        }
    }
}

TUnitPairPlace THistoryRecorder::LastUnitsIn(const TUnits& units, const std::string& group) {
    TUnitPairPlace place;
    place.Missing = group;
    THistory* store = Store();
    if (store == nullptr) {
        return place;
    }
    try {
        if (const auto pair = store->LastUnits(group)) {
            place = FindUnitPair(units, group, pair->first, pair->second);
        }
    } catch (const EHistoryError& e) {
        Warn(QStringLiteral("履歴を読み込めませんでした。"), Q(e.what()));
    }
    return place;
}

void THistoryRecorder::Converted(const THistoryEntry& entry, bool fromEmptyBox) {
    if (!keeping_ || failed_) {
        return;
    }
    switch (mode_) {
    case TMode::Held:
        if (!fromEmptyBox) {
            debounce_->Hold(entry);
        }
        break;
    case TMode::Now:
        RecordNow(entry);
        break;
    case TMode::None:
        break;
    }
}

void THistoryRecorder::RecordNow(const THistoryEntry& entry) {
    if (!keeping_ || failed_) {
        return;
    }
    // The command repeats the conversion the edits made: one entry for both.
    if (debounce_->Held() && debounce_->Held()->SameConversion(entry)) {
        debounce_->Drop();
    } else {
        debounce_->Flush();
    }
    Write(entry);
}

void THistoryRecorder::Flush() {
    debounce_->Flush();
}

void THistoryRecorder::StartLog() {
    if (store_ == nullptr || !keeping_) {
        return;
    }
    try {
        store_->StartLog();
    } catch (const EHistoryError&) {
        // The entry's own write meets the same problem and says it.
    }
}

void THistoryRecorder::SetPause(int ms) {
    debounce_->SetPause(ms);
}

void THistoryRecorder::Write(const THistoryEntry& entry) {
    THistory* store = keeping_ ? CreateStore() : nullptr;
    if (store == nullptr) {
        return;
    }
    try {
        store->Record(entry, static_cast<size_t>(cap_));
    } catch (const EHistoryError& e) {
        // The store keeps the entry and writes it with the next one that it can write.
        Warn(QStringLiteral("履歴に書き込めませんでした。変換はこのまま続けられます。"
                            "書き込めるようになれば、その間の変換もまとめて書き込みます。"),
             Q(e.what()));
    }
}

void THistoryRecorder::Warn(const QString& text, const QString& detail) {
    if (warned_) {
        return;
    }
    warned_ = true;
    WarnLater(window_, text + QStringLiteral("\n\n") + detail);
}

} // namespace tv
