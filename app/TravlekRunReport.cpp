#include "app/TravlekRunReport.h"

namespace {

struct RunState {
    TravlekRunRecord record;
    TravlekRunListener listener;
};

RunState& State() {
    static RunState state;
    return state;
}

void Notify(TravlekRunEvent event, int nPercent) {
    if (State().listener) {
        State().listener(event, nPercent);
    }
}

} // namespace

void TravlekReportUpdateStarted(LPCWSTR pPackagePath) {
    TravlekRunRecord& record = State().record;
    ++record.nUpdates;
    record.package = NULL == pPackagePath ? u"" : pPackagePath;
    Notify(TravlekRunEvent::UpdateStarted, 0);
}

void TravlekReportProgress(int nPercent) {
    Notify(TravlekRunEvent::Progress, nPercent);
}

void TravlekReportUpdateFinished(BOOL bSucceeded, const std::u16string& errorKey) {
    TravlekRunRecord& record = State().record;
    ++record.nFinished;
    record.bLastSucceeded = bSucceeded;
    record.errorKey = bSucceeded ? std::u16string() : errorKey;
    Notify(TravlekRunEvent::UpdateFinished, 0);
}

void TravlekReportMessage(LPCWSTR pText) {
    State().record.message = NULL == pText ? u"" : pText;
}

const TravlekRunRecord& TravlekGetRunRecord() {
    return State().record;
}

void TravlekResetRunRecord() {
    State() = RunState();
}

void TravlekSetRunListener(TravlekRunListener listener) {
    State().listener = std::move(listener);
}
