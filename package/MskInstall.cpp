#include "package/MskInstall.h"

#include "platform/Platform.h"
#include "wceui/core/FhDirectories.h"
#include "wceui/core/FhFileHandle.h"
#include "wceui/core/WceUiLog.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace {

const char kRecordTitle[] = "msk install record 1";
const char* const kPhaseNames[] = {"none", "staging", "switching", "unpacking"};
// A record is a few lines; anything longer is not one.
const DWORD kRecordMaxBytes = 4096;

std::u16string WithoutClosingSeparators(LPCWSTR pPath) {
    std::u16string path(pPath ? pPath : u"");
    while (path.size() > 1 && (u'\\' == path.back() || u'/' == path.back()))
        path.pop_back();
    return path;
}

// The name with its last letter replaced by the first mark that differs from it.
std::u16string Marked(const std::u16string& name, const char16_t* pMarks) {
    std::u16string marked = name.empty() ? std::u16string(u"_") : name;
    marked.back() = marked.back() == pMarks[0] ? pMarks[1] : pMarks[0];
    return marked;
}

BOOL Exists(const std::u16string& path) {
    return INVALID_FILE_ATTRIBUTES != GetFileAttributesW(path.c_str());
}

// The shell's silent delete of a path or a wildcard pattern, folders with everything below them.
void ShellDelete(const std::u16string& pattern) {
    std::u16string from(pattern);
    from.push_back(u'\0'); // the list of sources ends with an empty one
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    SHFileOperationW(&op);
}

// Deletes a file or a folder with everything below it; TRUE when nothing is left.
BOOL DeleteTree(const std::u16string& path) {
    if (Exists(path))
        ShellDelete(path);
    return !Exists(path);
}

ULONGLONG RoundUp(ULONGLONG ullSize, ULONGLONG ullBlock) {
    return (ullSize + ullBlock - 1) / ullBlock * ullBlock;
}

struct TreeSize {
    ULONGLONG bytes = 0; // in whole blocks
    ULONGLONG entries = 0;
};

// What the files and folders below a folder take. A folder that cannot be read counts nothing.
void AddTree(const std::u16string& folder, ULONGLONG ullBlock, int depth, TreeSize* pSize) {
    WIN32_FIND_DATAW fd;
    HANDLE hFind = depth > 64 ? INVALID_HANDLE_VALUE : FindFirstFileW((folder + u"\\*.*").c_str(), &fd);
    if (INVALID_HANDLE_VALUE == hFind)
        return;
    do {
        if (0 == WStrCmp(fd.cFileName, u".") || 0 == WStrCmp(fd.cFileName, u".."))
            continue;
        ++pSize->entries;
        if (0 != (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            AddTree(folder + u"\\" + fd.cFileName, ullBlock, depth + 1, pSize);
        else
            pSize->bytes +=
                RoundUp((static_cast<ULONGLONG>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow, ullBlock);
    } while (FindNextFileW(hFind, &fd));
    FindClose(hFind);
}

TreeSize SizeOfTree(const std::u16string& folder, ULONGLONG ullBlock) {
    TreeSize size;
    AddTree(folder, ullBlock, 0, &size);
    return size;
}

// The size of a plain file, or FALSE when there is none.
BOOL PlainFileSize(const std::u16string& path, ULONGLONG* pSize) {
    WIN32_FIND_DATAW fd;
    HANDLE hFind = FindFirstFileW(path.c_str(), &fd);
    if (INVALID_HANDLE_VALUE == hFind)
        return FALSE;
    FindClose(hFind);
    if (0 != (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return FALSE;
    *pSize = (static_cast<ULONGLONG>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    return TRUE;
}

BOOL WriteAll(HANDLE h, const void* pData, size_t size) {
    DWORD dwWritten = 0;
    return WriteFile(h, pData, static_cast<DWORD>(size), &dwWritten, NULL) && dwWritten == size;
}

// Copies a file and flushes the copy; a failed copy leaves nothing under the target's name.
BOOL CopyFlushed(const std::u16string& source, const std::u16string& target) {
    CFhFileHandle in(
        CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL));
    if (!in.IsValid())
        return FALSE;
    size_t cut = target.find_last_of(u"\\/");
    if (std::u16string::npos != cut && cut > 0)
        WceUiCreateDirectories(target.substr(0, cut).c_str());
    CFhFileHandle out(
        CreateFileW(target.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!out.IsValid())
        return FALSE;
    std::vector<BYTE> buffer(256u << 10);
    BOOL bOk = TRUE;
    for (;;) {
        DWORD dwRead = 0;
        if (!ReadFile(in.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &dwRead, NULL)) {
            bOk = FALSE;
            break;
        }
        if (0 == dwRead)
            break;
        if (!WriteAll(out.Get(), buffer.data(), dwRead)) {
            bOk = FALSE;
            break;
        }
    }
    bOk = bOk && FlushFileBuffers(out.Get());
    const DWORD dwError = GetLastError();
    out.Close();
    if (!bOk) {
        DeleteFileW(target.c_str());
        SetLastError(dwError);
    }
    return bOk;
}

std::string RecordText(const MskPhaseRecord& record) {
    std::string text = std::string(kRecordTitle) + "\nphase " + kPhaseNames[record.phase] + "\npackage " +
                       WideToUtf8(record.package) + "\n";
    char check[32];
    snprintf(check, sizeof(check), "check %08lx\n",
             crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
    return text + check;
}

// FALSE when the file is missing or is not a whole record.
BOOL ReadRecordFile(const std::u16string& path, MskPhaseRecord* pRecord) {
    CFhFileHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL));
    if (!file.IsValid())
        return FALSE;
    std::string text(kRecordMaxBytes + 1, '\0');
    DWORD dwRead = 0;
    if (!ReadFile(file.Get(), &text[0], kRecordMaxBytes + 1, &dwRead, NULL) || dwRead > kRecordMaxBytes)
        return FALSE;
    text.resize(dwRead);
    const size_t checkAt = text.rfind("check ");
    if (std::string::npos == checkAt || 0 == checkAt || '\n' != text[checkAt - 1] || '\n' != text.back())
        return FALSE;
    char expected[32];
    snprintf(expected, sizeof(expected), "check %08lx\n",
             crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(checkAt)));
    if (text.compare(checkAt, std::string::npos, expected) != 0)
        return FALSE;
    std::vector<std::string> lines;
    for (size_t at = 0; at < checkAt;) {
        size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    if (lines.size() != 3 || lines[0] != kRecordTitle || lines[1].rfind("phase ", 0) != 0 ||
        lines[2].rfind("package ", 0) != 0)
        return FALSE;
    MskPhaseRecord record;
    const std::string phase = lines[1].substr(6);
    for (int i = MSK_PHASE_STAGING; i <= MSK_PHASE_UNPACKING; ++i) {
        if (phase == kPhaseNames[i])
            record.phase = static_cast<MskInstallPhase>(i);
    }
    if (MSK_PHASE_NONE == record.phase)
        return FALSE;
    record.package = Utf8ToWide(lines[2].substr(8));
    *pRecord = record;
    return TRUE;
}

MskResult MoveFailure(const std::u16string& from, const std::u16string& to) {
    MskResult result;
    result.failure = MskFailure::MoveFailed;
    result.systemError = GetLastError();
    result.path = from;
    result.detail = to;
    return result;
}

} // namespace

MskInstallLayout MskInstallLayoutFor(LPCWSTR pAppFolder) {
    MskInstallLayout layout;
    layout.app = WithoutClosingSeparators(pAppFolder);
    const size_t cut = layout.app.find_last_of(u"\\/");
    const std::u16string name = std::u16string::npos == cut ? layout.app : layout.app.substr(cut + 1);
    layout.parent = std::u16string::npos == cut ? std::u16string() : layout.app.substr(0, cut);
    const std::u16string prefix = std::u16string::npos == cut ? std::u16string() : layout.parent + u"\\";
    layout.staged = prefix + Marked(name, u"+#");
    layout.aside = prefix + Marked(name, u"-=");
    layout.record = layout.app + u".phase";
    layout.recordTemp = layout.record + u"~";
    return layout;
}

MskPhaseRecord MskReadPhaseRecord(const MskInstallLayout& layout) {
    MskPhaseRecord record;
    // A whole temporary record is newer than the record: it was about to replace it.
    if (ReadRecordFile(layout.recordTemp, &record) || ReadRecordFile(layout.record, &record))
        return record;
    return MskPhaseRecord();
}

BOOL MskWritePhaseRecord(const MskInstallLayout& layout, const MskPhaseRecord& record) {
    const std::string text = RecordText(record);
    {
        CFhFileHandle file(CreateFileW(layout.recordTemp.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, NULL));
        if (!file.IsValid() || !WriteAll(file.Get(), text.data(), text.size()) ||
            !FlushFileBuffers(file.Get()))
            return FALSE;
    }
    if (Exists(layout.record) && !DeleteFileW(layout.record.c_str()))
        return FALSE;
    return MoveFileW(layout.recordTemp.c_str(), layout.record.c_str());
}

BOOL MskClearPhaseRecord(const MskInstallLayout& layout) {
    BOOL bOk = !Exists(layout.recordTemp) || DeleteFileW(layout.recordTemp.c_str());
    return (!Exists(layout.record) || DeleteFileW(layout.record.c_str())) && bOk;
}

MskRecovery MskRecoverInstall(const MskInstallLayout& layout, MskPhaseRecord* pRecord,
                              std::u16string* pDetail) {
    std::u16string detail;
    MskPhaseRecord record;
    const BOOL bTempWhole = ReadRecordFile(layout.recordTemp, &record);
    if (bTempWhole) {
        // Finish the replacement the cut stopped.
        if ((Exists(layout.record) && !DeleteFileW(layout.record.c_str())) ||
            !MoveFileW(layout.recordTemp.c_str(), layout.record.c_str()))
            detail = MskResultKey(MoveFailure(layout.recordTemp, layout.record));
    } else {
        if (Exists(layout.recordTemp))
            DeleteFileW(layout.recordTemp.c_str());
        if (!ReadRecordFile(layout.record, &record) && Exists(layout.record)) {
            if (pDetail)
                *pDetail = u"the phase record " + layout.record + u" cannot be read";
            return MSK_RECOVERY_FAILED;
        }
    }
    if (pRecord)
        *pRecord = record;
    MskRecovery result = MSK_RECOVERY_NOTHING;
    switch (record.phase) {
        case MSK_PHASE_NONE:
            break;
        case MSK_PHASE_STAGING:
            result = MSK_RECOVERY_ROLLED_BACK;
            if (!DeleteTree(layout.staged))
                detail = u"can not remove " + layout.staged;
            break;
        case MSK_PHASE_SWITCHING:
            result = MSK_RECOVERY_SWITCHED;
            if (Exists(layout.staged)) {
                // Neither rename happened, or only the first: the old tree goes aside, the new in.
                if (Exists(layout.app) && Exists(layout.aside) && !DeleteTree(layout.aside))
                    detail = u"can not remove " + layout.aside;
                else if (Exists(layout.app) && !MoveFileW(layout.app.c_str(), layout.aside.c_str()))
                    detail = MskResultKey(MoveFailure(layout.app, layout.aside));
                else if (!MoveFileW(layout.staged.c_str(), layout.app.c_str()))
                    detail = MskResultKey(MoveFailure(layout.staged, layout.app));
            } else if (!Exists(layout.app) && Exists(layout.aside)) {
                // Nothing was staged to switch to: the old application comes back.
                result = MSK_RECOVERY_ROLLED_BACK;
                if (!MoveFileW(layout.aside.c_str(), layout.app.c_str()))
                    detail = MskResultKey(MoveFailure(layout.aside, layout.app));
            }
            if (detail.empty() && !DeleteTree(layout.aside))
                detail = u"can not remove " + layout.aside;
            break;
        case MSK_PHASE_UNPACKING:
            if (pDetail)
                *pDetail = detail;
            return MSK_RECOVERY_INCOMPLETE;
    }
    if (detail.empty() && MSK_PHASE_NONE != record.phase && !MskClearPhaseRecord(layout))
        detail = u"can not remove " + layout.record;
    if (pDetail)
        *pDetail = detail;
    return detail.empty() ? result : MSK_RECOVERY_FAILED;
}

CMskInstaller::CMskInstaller(CMskUnpacker& unpacker, LPCWSTR pAppFolder)
    : m_unpacker(unpacker), m_layout(MskInstallLayoutFor(pAppFolder)) {}

void CMskInstaller::AddExtraFile(const MskInstallExtraFile& file) {
    m_extras.push_back(file);
}

BOOL CMskInstaller::Plan(MskInstallMode* pMode, std::u16string& errorOut) {
    MskResult result;
    const BOOL bResult = Plan(pMode, result);
    if (!bResult)
        errorOut = MskResultKey(result);
    return bResult;
}

BOOL CMskInstaller::Plan(MskInstallMode* pMode, MskResult& resultOut) {
    *pMode = MSK_INSTALL_STAGED;
    const std::u16string volume = m_layout.parent.empty() ? std::u16string(u"\\") : m_layout.parent;
    // Extra files whose source is missing are no part of the install.
    std::vector<MskInstallExtraFile> present;
    m_extraSizes.clear();
    for (const MskInstallExtraFile& extra : m_extras) {
        ULONGLONG ullSize = 0;
        if (PlainFileSize(extra.source, &ullSize)) {
            present.push_back(extra);
            m_extraSizes.push_back(ullSize);
        }
    }
    m_extras.swap(present);

    ULARGE_INTEGER freeAvail, total, totalFree;
    if (!GetDiskFreeSpaceExW(volume.c_str(), &freeAvail, &total, &totalFree)) {
        WceUiLog(WCEUI_LOG_WARNING, "CMskInstaller::Plan, free space unknown, GetLastError is %d",
                 static_cast<int>(GetLastError()));
        return TRUE;
    }
    CE_VOLUME_INFO info = {};
    info.cbSize = sizeof(info);
    const ULONGLONG ullBlock =
        CeGetVolumeInfoW(volume.c_str(), CeVolumeInfoLevelStandard, &info) && 0 != info.dwBlockSize
            ? info.dwBlockSize
            : 1;
    // The new tree: every file in whole blocks, every folder (the root's too) one block, and the
    // phase record with its temporary copy.
    ULONGLONG ullNeeded = 3 * ullBlock;
    ULONGLONG ullEntries = 3;
    for (int i = 0; i < m_unpacker.GetEntryCount(); ++i) {
        const MskEntry* pEntry = m_unpacker.GetEntry(i);
        ullNeeded += MSK_ENTRY_FILE == pEntry->type ? RoundUp(pEntry->unpackedSize, ullBlock) : ullBlock;
        ++ullEntries;
    }
    ULONGLONG ullExtra = 0;
    for (ULONGLONG ullSize : m_extraSizes)
        ullExtra += RoundUp(ullSize, ullBlock);
    // Leftovers of an earlier run go before anything is written.
    TreeSize leftovers = SizeOfTree(m_layout.staged, ullBlock);
    TreeSize aside = SizeOfTree(m_layout.aside, ullBlock);
    leftovers.bytes += aside.bytes;
    leftovers.entries += aside.entries;
    const TreeSize app = SizeOfTree(m_layout.app, ullBlock);
    const ULONGLONG ullFree = freeAvail.QuadPart + leftovers.bytes;
    ULONGLONG ullFreeEntries = 0;
    const BOOL bCountsEntries = PlatformVolumeFreeEntries(volume.c_str(), &ullFreeEntries);
    ullFreeEntries += leftovers.entries;
    const ULONGLONG ullExtraEntries = m_extras.size();

    auto fits = [&](ULONGLONG ullBytes, ULONGLONG ullCount, BOOL bInPlace) {
        const ULONGLONG ullRoom = ullFree + (bInPlace ? app.bytes : 0);
        const ULONGLONG ullSlots = ullFreeEntries + (bInPlace ? app.entries : 0);
        return ullBytes <= ullRoom && (!bCountsEntries || ullCount <= ullSlots);
    };
    for (int withExtras = 1; withExtras >= 0; --withExtras) {
        const ULONGLONG ullBytes = ullNeeded + (withExtras ? ullExtra : 0);
        const ULONGLONG ullCount = ullEntries + (withExtras ? ullExtraEntries : 0);
        BOOL bFits = TRUE;
        if (fits(ullBytes, ullCount, FALSE)) {
            *pMode = MSK_INSTALL_STAGED;
        } else if (fits(ullBytes, ullCount, TRUE)) {
            *pMode = MSK_INSTALL_IN_PLACE;
            WceUiLog(WCEUI_LOG_WARNING,
                     "CMskInstaller::Plan, the flash cannot hold both applications: the old one is "
                     "cleared before the unpack (%llu bytes needed, %llu free)",
                     static_cast<unsigned long long>(ullBytes), static_cast<unsigned long long>(ullFree));
        } else {
            bFits = FALSE;
        }
        if (bFits) {
            if (!withExtras && !m_extras.empty()) {
                for (const MskInstallExtraFile& extra : m_extras)
                    WceUiLogW(WCEUI_LOG_WARNING, u"CMskInstaller::Plan, %s is left out: it does not fit",
                              extra.source.c_str());
                m_extras.clear();
                m_extraSizes.clear();
            }
            return TRUE;
        }
    }
    WceUiLog(WCEUI_LOG_ERROR,
             "CMskInstaller::Plan, the package needs %llu bytes in blocks of %llu and %llu entries, the "
             "flash will have %llu bytes and %s entries",
             static_cast<unsigned long long>(ullNeeded), static_cast<unsigned long long>(ullBlock),
             static_cast<unsigned long long>(ullEntries),
             static_cast<unsigned long long>(ullFree + app.bytes),
             bCountsEntries ? std::to_string(ullFreeEntries + app.entries).c_str() : "uncounted");
    resultOut = MskResult();
    resultOut.failure = MskFailure::DiskFull;
    resultOut.path = m_layout.app;
    return FALSE;
}

BOOL CMskInstaller::Install(MskInstallMode mode, LPCWSTR pPackagePath, const MskInstallHooks& hooks,
                            std::u16string& errorOut) {
    MskResult result;
    const BOOL bResult = Install(mode, pPackagePath, hooks, result);
    if (!bResult && !result.Ok())
        errorOut = MskResultKey(result);
    return bResult;
}

BOOL CMskInstaller::Install(MskInstallMode mode, LPCWSTR pPackagePath, const MskInstallHooks& hooks,
                            MskResult& resultOut) {
    if (!WCEUI_CHECK("CMskInstaller::Install", NULL != pPackagePath))
        return FALSE;
    // What an earlier run left beside the application takes no room from this one.
    DeleteTree(m_layout.staged);
    DeleteTree(m_layout.aside);
    MskWriteOptions flushed;
    flushed.bFlush = TRUE;
    m_unpacker.SetWriteOptions(flushed);
    const BOOL bResult = MSK_INSTALL_STAGED == mode ? Stage(pPackagePath, resultOut) && Switch(resultOut)
                                                    : InPlace(pPackagePath, hooks, resultOut);
    m_unpacker.SetWriteOptions(MskWriteOptions());
    return bResult;
}

// Writes the phase record of this run; FALSE with the reason when the flash refuses it.
BOOL CMskInstaller::Record(MskInstallPhase phase, LPCWSTR pPackagePath, MskResult& resultOut) {
    MskPhaseRecord record;
    record.phase = phase;
    record.package = pPackagePath;
    if (MskWritePhaseRecord(m_layout, record))
        return TRUE;
    resultOut = MskResult();
    resultOut.failure = MskFailure::RecordFailed;
    resultOut.systemError = GetLastError();
    resultOut.path = m_layout.record;
    return FALSE;
}

// After a staged run that did not switch: an application left incomplete by an earlier in-place run
// stays recorded as such until a run has replaced it; otherwise the record goes.
void CMskInstaller::RestorePriorRecord() {
    if (MSK_PHASE_UNPACKING == m_prior.phase)
        MskWritePhaseRecord(m_layout, m_prior);
    else
        MskClearPhaseRecord(m_layout);
}

BOOL CMskInstaller::Stage(LPCWSTR pPackagePath, MskResult& resultOut) {
    m_prior = MskReadPhaseRecord(m_layout);
    if (!Record(MSK_PHASE_STAGING, pPackagePath, resultOut)) {
        // A refused replacement can leave the new record whole beside the old one, and a whole new
        // copy is what the next start takes: it must not outlive this run.
        RestorePriorRecord();
        return FALSE;
    }
    BOOL bResult = m_unpacker.UnpackOpened(m_layout.staged.c_str(), resultOut);
    if (bResult) {
        CopyExtraFiles(m_layout.staged);
        bResult = Record(MSK_PHASE_SWITCHING, pPackagePath, resultOut);
    }
    if (!bResult) {
        DeleteTree(m_layout.staged);
        RestorePriorRecord();
    }
    return bResult;
}

BOOL CMskInstaller::Switch(MskResult& resultOut) {
    const BOOL bHadApp = Exists(m_layout.app);
    if (bHadApp && !MoveFileW(m_layout.app.c_str(), m_layout.aside.c_str())) {
        resultOut = MoveFailure(m_layout.app, m_layout.aside);
    } else if (!MoveFileW(m_layout.staged.c_str(), m_layout.app.c_str())) {
        resultOut = MoveFailure(m_layout.staged, m_layout.app);
        if (bHadApp)
            MoveFileW(m_layout.aside.c_str(), m_layout.app.c_str());
    } else {
        // The new application is in place. A tree that cannot be removed now is removed by the next
        // start: the record stays until it is gone.
        if (DeleteTree(m_layout.aside))
            MskClearPhaseRecord(m_layout);
        else
            WceUiLogW(WCEUI_LOG_WARNING, u"CMskInstaller::Switch, can not remove %s yet",
                      m_layout.aside.c_str());
        return TRUE;
    }
    // The switch did not happen: the old application stays, the staged tree goes.
    WceUiLogW(WCEUI_LOG_ERROR, u"CMskInstaller::Switch, %s", MskResultKey(resultOut).c_str());
    if (Exists(m_layout.app) && DeleteTree(m_layout.staged))
        RestorePriorRecord();
    return FALSE;
}

BOOL CMskInstaller::InPlace(LPCWSTR pPackagePath, const MskInstallHooks& hooks, MskResult& resultOut) {
    if (!Record(MSK_PHASE_UNPACKING, pPackagePath, resultOut))
        return FALSE;
    if (hooks.beforeClear)
        hooks.beforeClear();
    // Everything inside the application folder goes; the folder itself stays.
    ShellDelete(m_layout.app + u"\\*.*");
    if (hooks.afterClear)
        hooks.afterClear();
    if (!m_unpacker.UnpackOpened(m_layout.app.c_str(), resultOut))
        return FALSE; // the record says the application is incomplete
    CopyExtraFiles(m_layout.app);
    MskClearPhaseRecord(m_layout);
    return TRUE;
}

void CMskInstaller::CopyExtraFiles(const std::u16string& intoFolder) {
    for (const MskInstallExtraFile& extra : m_extras) {
        const std::u16string target = intoFolder + u"\\" + extra.target;
        if (!CopyFlushed(extra.source, target))
            WceUiLogW(WCEUI_LOG_WARNING, u"CMskInstaller, %s was not copied to %s, GetLastError is %d",
                      extra.source.c_str(), target.c_str(), static_cast<int>(GetLastError()));
    }
}
