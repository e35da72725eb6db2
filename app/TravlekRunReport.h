// What a run of the updater came to, kept for the program that hosts it (the simulator turns it into
// its exit status and result file; the unit itself only shows it). The main dialog reports each
// update run's start, progress and end and every message it shows; nothing here changes the run.
#pragma once

#include "platform/WinCe.h"

#include <functional>
#include <string>

struct TravlekRunRecord {
    int nUpdates = 0;            // update runs started
    int nFinished = 0;           // of them, those that ended
    BOOL bLastSucceeded = FALSE; // how the last finished one ended
    std::u16string package;      // the package of the last run
    std::u16string errorKey;     // the last finished run's error ("crc_check_fail"); empty after a success
    std::u16string message;      // the last message shown to the user, empty when none was shown
};

// The moments a host may act on (a screenshot, say); percent is only given for Progress.
enum class TravlekRunEvent { UpdateStarted, Progress, UpdateFinished };
typedef std::function<void(TravlekRunEvent event, int nPercent)> TravlekRunListener;

void TravlekReportUpdateStarted(LPCWSTR pPackagePath);
void TravlekReportProgress(int nPercent);
void TravlekReportUpdateFinished(BOOL bSucceeded, const std::u16string& errorKey);
void TravlekReportMessage(LPCWSTR pText);

const TravlekRunRecord& TravlekGetRunRecord();
// Forgets every run, and the listener.
void TravlekResetRunRecord();
// Called after each report has been recorded; null removes it.
void TravlekSetRunListener(TravlekRunListener listener);
