// Installing a verified package so that a cut at any moment leaves a complete application, old or
// new, or a state the next start completes.
//
// The tree is unpacked and flushed into a staging folder beside the application folder (same
// volume), then switched in by two renames; a small phase record beside them says what a cut left
// and MskRecoverInstall finishes or rolls it back. Only when the volume cannot hold both trees is the
// old application cleared first and the package unpacked in its place; that run is recorded as
// incomplete until it ends, so that nothing launches a half-made application and the next start
// can complete it.
#pragma once

#include "package/MskUnpacker.h"

#include <functional>
#include <string>
#include <vector>

// The names an install uses beside the application folder. The staging and old-aside folders have
// names as long as the application folder's, so every path in them is as long as the installed one
// and a tree that fits the device's path limit in place fits it while staged too.
struct MskInstallLayout {
    std::u16string app;        // \Residentflash2\app
    std::u16string parent;     // \Residentflash2
    std::u16string staged;     // \Residentflash2\ap+
    std::u16string aside;      // \Residentflash2\ap-
    std::u16string record;     // \Residentflash2\app.phase
    std::u16string recordTemp; // \Residentflash2\app.phase~
};
MskInstallLayout MskInstallLayoutFor(LPCWSTR pAppFolder);

enum MskInstallPhase {
    MSK_PHASE_NONE = 0,
    MSK_PHASE_STAGING,   // the staging folder is being filled; the application is whole
    MSK_PHASE_SWITCHING, // the staged tree is complete and flushed; the renames may be cut
    MSK_PHASE_UNPACKING, // the application folder was cleared and is being refilled
};

struct MskPhaseRecord {
    MskInstallPhase phase = MSK_PHASE_NONE;
    std::u16string package; // the package the run installs
};

// The phase record left beside the application (MSK_PHASE_NONE when there is none). A record cut
// while it was replaced is taken from whichever copy is whole: each ends in a check of its bytes.
MskPhaseRecord MskReadPhaseRecord(const MskInstallLayout& layout);
// Writes the record atomically: a temporary file, flushed, then renamed into place.
BOOL MskWritePhaseRecord(const MskInstallLayout& layout, const MskPhaseRecord& record);
BOOL MskClearPhaseRecord(const MskInstallLayout& layout);

enum MskRecovery {
    MSK_RECOVERY_NOTHING = 0, // no install was cut
    MSK_RECOVERY_ROLLED_BACK, // a cut staging was removed; the old application is in place
    MSK_RECOVERY_SWITCHED,    // a cut switch was finished; the new application is in place
    MSK_RECOVERY_INCOMPLETE,  // an in-place unpack was cut: the application is incomplete
    MSK_RECOVERY_FAILED,      // the flash refused what recovery needed; detail says what
};
// What a start does before anything else: finishes or rolls back what a cut left (see MskRecovery).
// The record of an incomplete in-place unpack stays until an install completes.
MskRecovery MskRecoverInstall(const MskInstallLayout& layout, MskPhaseRecord* pRecord,
                              std::u16string* pDetail);

enum MskInstallMode {
    MSK_INSTALL_STAGED = 0, // both trees fit: stage, then switch
    MSK_INSTALL_IN_PLACE,   // only one tree fits: clear the application, then unpack
};

// A file copied into the new application with it (the factory configuration, say): optional, it is
// left out with a logged reason when its source is missing or it does not fit.
struct MskInstallExtraFile {
    std::u16string source;
    std::u16string target; // relative to the application folder
};

struct MskInstallHooks {
    std::function<void()> beforeClear; // in place only: the old application is about to go
    std::function<void()> afterClear;
};

class CMskInstaller {
public:
    // pUnpacker must have opened and verified the package (CMskUnpacker::Open, VerifyOpened).
    CMskInstaller(CMskUnpacker& unpacker, LPCWSTR pAppFolder);

    void AddExtraFile(const MskInstallExtraFile& file);

    // Chooses how the package goes onto the volume, counting allocation blocks (a small file takes a
    // whole block) and, where the volume counts them, file slots. FALSE with "error_disk_full" when it
    // fits in neither way; extra files that fit in neither way are dropped with a logged reason.
    BOOL Plan(MskInstallMode* pMode, MskResult& resultOut);
    BOOL Plan(MskInstallMode* pMode, std::u16string& errorOut);

    // Installs in the planned mode; the package's path goes into the phase record. FALSE with the
    // unpacker's result, or the install's own; a staged run that fails leaves the old application
    // as it was. The forms with a text take MskResultKey of the result.
    BOOL Install(MskInstallMode mode, LPCWSTR pPackagePath, const MskInstallHooks& hooks,
                 MskResult& resultOut);
    BOOL Install(MskInstallMode mode, LPCWSTR pPackagePath, const MskInstallHooks& hooks,
                 std::u16string& errorOut);

    const MskInstallLayout& Layout() const { return m_layout; }

private:
    BOOL Record(MskInstallPhase phase, LPCWSTR pPackagePath, MskResult& resultOut);
    BOOL Stage(LPCWSTR pPackagePath, MskResult& resultOut);
    BOOL Switch(MskResult& resultOut);
    void RestorePriorRecord();
    BOOL InPlace(LPCWSTR pPackagePath, const MskInstallHooks& hooks, MskResult& resultOut);
    void CopyExtraFiles(const std::u16string& intoFolder);

    CMskUnpacker& m_unpacker;
    MskInstallLayout m_layout;
    MskPhaseRecord m_prior; // the record a staged run found, put back when the run does not switch
    std::vector<MskInstallExtraFile> m_extras;
    std::vector<ULONGLONG> m_extraSizes;
};
