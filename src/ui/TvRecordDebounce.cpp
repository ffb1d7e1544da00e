#include "ui/TvRecordDebounce.h"

#include <utility>

namespace tv {

TRecordDebounce::TRecordDebounce(std::function<void(const THistoryEntry&)> record, QObject* parent)
    : QObject(parent), record_(std::move(record)) {
    timer_.setSingleShot(true);
    timer_.setInterval(kPauseMs);
    connect(&timer_, &QTimer::timeout, this, [this] { Flush(); });
}

void TRecordDebounce::Hold(THistoryEntry entry) {
    held_ = std::move(entry);
    timer_.start();
}

void TRecordDebounce::Flush() {
    timer_.stop();
    if (std::optional<THistoryEntry> entry = std::exchange(held_, std::nullopt)) {
        record_(*entry);
    }
}

void TRecordDebounce::Drop() {
    timer_.stop();
    held_.reset();
}

} // namespace tv
