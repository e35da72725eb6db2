// Signed updates. A unit whose maker put a public key (the key file's line) in HKEY_LOCAL_MACHINE\OEM
// "UpdateKey" installs only packages that come with "<package>.sig", a signature made with the
// matching secret key over every byte of the package. The signature is checked on the handle the
// unpacker holds, before anything of the package is decoded and before the flash changes, and what the
// run then verifies must be those signed bytes. A unit without the value installs as it always did; a
// value that cannot be used refuses every package.
#pragma once

#include "package/MskSignedBytes.h"
#include "package/MskUnpacker.h"
#include "platform/WinCe.h"

#include <string>

// The run's error keys for a refused signature and for an unusable key; TravlekUpdateErrorMessage shows
// the language's text of each.
#define TRAVLEK_ERROR_NOT_SIGNED u"msk_not_signed"
#define TRAVLEK_ERROR_UPDATE_KEY u"update_key_invalid"

enum TravlekUpdateKey {
    TRAVLEK_UPDATE_KEY_NONE = 0,   // no such value (or no OEM key): signatures are not required
    TRAVLEK_UPDATE_KEY_SET,        // pLine holds the value's text
    TRAVLEK_UPDATE_KEY_UNREADABLE, // the value is there but is no text line; pWhy says why
};

// Reads the unit's update key. Whether the line is a usable key is for the signature check to say.
TravlekUpdateKey TravlekReadUpdateKey(std::string* pLine, std::u16string* pWhy);

class CTravlekSignatureCheck {
public:
    // Right after the unpacker's Open, on the handle it holds: TRUE when the unit has no update key, or
    // the package's signature is good. Otherwise FALSE with TRAVLEK_ERROR_NOT_SIGNED or
    // TRAVLEK_ERROR_UPDATE_KEY in errorOut, and a log line that says why.
    BOOL CheckOpened(const CMskUnpacker& unpacker, LPCWSTR pPackagePath, DWORD dwKey,
                     std::u16string& errorOut);
    // Right after the unpacker's VerifyOpened: TRUE when no signature was checked, or the table and the
    // streams verified are the ones signed; otherwise FALSE as above.
    BOOL MatchesVerified(const CMskUnpacker& unpacker, std::u16string& errorOut) const;

private:
    BOOL m_bSigned = FALSE;
    std::u16string m_packagePath;
    CMskSignedBytes m_signedBytes;
};
