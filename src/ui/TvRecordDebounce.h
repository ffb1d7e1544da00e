#pragma once

#include "history/TvHistory.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

namespace tv {

// Holds the latest conversion made while the user edits and hands it on once the edits have
// paused, so that a conversion on every edit becomes one history entry rather than one per
// keystroke.
class TRecordDebounce : public QObject {
public:
    static constexpr int kPauseMs = 1500;

    explicit TRecordDebounce(std::function<void(const THistoryEntry&)> record,
                             QObject* parent = nullptr);

    // Replaces the held entry and starts the pause anew.
    void Hold(THistoryEntry entry);
    // Hands the held entry on now, if there is one.
    void Flush();
    // Forgets the held entry.
    void Drop();
    const std::optional<THistoryEntry>& Held() const { return held_; }
    void SetPause(int ms) { timer_.setInterval(ms); }

private:
    std::function<void(const THistoryEntry&)> record_;
    std::optional<THistoryEntry> held_;
    QTimer timer_;
};

} // namespace tv
