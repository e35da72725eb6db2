#include "package/MskResult.h"

namespace {

std::u16string WithError(LPCWSTR pFormat, const std::u16string& path, DWORD dwError) {
    return WFormat(pFormat, path.c_str(), static_cast<int>(dwError));
}

} // namespace

std::u16string MskResultKey(const MskResult& r) {
    // Open refuses a table as a whole: the unit tells only whether the password matched.
    const bool opening = MskStage::Open == r.stage;
    switch (r.failure) {
        case MskFailure::None:
            return std::u16string();
        case MskFailure::Cancelled:
            return u"user_cancel";
        case MskFailure::PackageNotAFile:
            return WFormat(u"the file for unpack '%s' is not valid", r.path.c_str());
        case MskFailure::DestinationNotAFolder:
            return WFormat(u"the unpack directory '%s' is not valid", r.path.c_str());
        case MskFailure::OpenFailed:
            return WithError(MskStage::Table == r.stage ? u"open file %s failed, GetLastError is %d"
                                                        : u"open file %s failed, error code is %d",
                             r.path, r.systemError);
        case MskFailure::NotAPackage:
        case MskFailure::WrongRoot:
            return u"invalid_msk_file";
        case MskFailure::TableUnreadable:
            return opening ? u"file_format_error" : WFormat(u"read failed %s", r.path.c_str());
        case MskFailure::WrongPassword:
            return opening ? u"crc_check_fail" : u"check CRC failed, Wrong password?";
        case MskFailure::RootNameUnterminated:
            return opening ? u"file_format_error" : u"check CRC failed, Wrong password?";
        case MskFailure::PackageCut:
        case MskFailure::TableDamaged:
            return opening ? u"file_format_error"
                           : WFormat(u"file table of %s is damaged: %s", r.path.c_str(), r.detail.c_str());
        case MskFailure::UnsafePath:
            if (opening)
                return u"file_format_error";
            return WFormat(u"invalid entry path %s", r.entry.c_str());
        case MskFailure::PathTooLong:
            return WFormat(u"invalid entry path %s", r.entry.c_str());
        case MskFailure::TargetFolderFailed:
            return WFormat(u"can not create directory: %s\n", r.path.c_str());
        case MskFailure::TargetNotAFolder:
            return WFormat(u"can't not unpack to directory: %s\n", r.path.c_str());
        case MskFailure::CreateFolderFailed:
            return WFormat(u"can not create directory: %s", r.path.c_str());
        case MskFailure::OutOfMemory:
            return WFormat(u"not enough memory for %s", r.path.c_str());
        case MskFailure::SeekFailed:
            return WithError(u"SetFilePointer for %s failed, GetLastError is %d", r.path, r.systemError);
        case MskFailure::ReadFailed:
            return WithError(u"ReadFile failed for %s, GetLastError is %d", r.path, r.systemError);
        case MskFailure::StreamDamaged:
            return u"uncompress failed";
        case MskFailure::CreateFailed:
            return WithError(u"CreateFile %s failed, GetLastError is %d", r.path, r.systemError);
        case MskFailure::WriteFailed:
            return WithError(u"WriteFile %s failed, GetLastError is %d", r.path, r.systemError);
        case MskFailure::DiskFull:
            return u"error_disk_full";
        case MskFailure::PackageChanged:
            return WFormat(u"the package changed after it was verified: %s", r.path.c_str());
        case MskFailure::RecordFailed:
            return WithError(u"can not write %s, GetLastError is %d", r.path, r.systemError);
        case MskFailure::MoveFailed:
            return WFormat(u"MoveFile %s to %s failed, GetLastError is %d", r.path.c_str(), r.detail.c_str(),
                           static_cast<int>(r.systemError));
    }
    return std::u16string();
}
