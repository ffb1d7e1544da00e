// The hold of a conversion made by an edit: handed on once the edits pause, at once on a flush,
// never when dropped, and only the latest of those held.

#include "ui/TvRecordDebounce.h"

#include <QElapsedTimer>
#include <QTest>
#include <vector>

using namespace tv;

namespace {

THistoryEntry Typed(const char* value) {
    THistoryEntry entry;
    entry.Value = value;
    return entry;
}

} // namespace

class RecordDebounceTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        written_.clear();
        debounce_ = std::make_unique<TRecordDebounce>(
            [this](const THistoryEntry& entry) { written_.push_back(entry.Value); });
    }

    void pauseWritesTheLatestOnce() {
        debounce_->SetPause(50);
        QElapsedTimer clock;
        clock.start();
        for (const char* value : {"1", "12", "123"}) {
            debounce_->Hold(Typed(value));
        }
        QVERIFY(written_.empty());
        QTRY_COMPARE(written_, std::vector<std::string>{"123"});
        QVERIFY(clock.elapsed() >= 50);
        QVERIFY(!debounce_->Held());
    }

    void theDefaultPauseIsAboutASecondAndAHalf() {
        debounce_->Hold(Typed("1"));
        QElapsedTimer clock;
        clock.start();
        QTRY_COMPARE_WITH_TIMEOUT(written_.size(), 1U, 10000);
        QVERIFY2(clock.elapsed() >= 1400, qPrintable(QString::number(clock.elapsed())));
    }

    void flushWritesNowAndDropForgets() {
        debounce_->SetPause(50);
        debounce_->Flush();
        QVERIFY2(written_.empty(), "nothing held, nothing written");
        debounce_->Hold(Typed("5"));
        debounce_->Flush();
        QCOMPARE(written_, std::vector<std::string>{"5"});
        debounce_->Hold(Typed("6"));
        debounce_->Drop();
        debounce_->Hold(Typed("7"));
        QTRY_COMPARE(written_, (std::vector<std::string>{"5", "7"}));
    }

private:
    std::vector<std::string> written_;
    std::unique_ptr<TRecordDebounce> debounce_;
};

QTEST_MAIN(RecordDebounceTest)
#include "RecordDebounceTest.moc"
