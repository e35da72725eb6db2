#include "wceui/res/ReadFontConfInfo.h"

#include "wceui/core/WceUiLog.h"
#include "wceui/res/FhConfDoc.h"

#include <climits>
#include <cstring>

namespace {

// The device's long is 32 bits: out-of-range numbers saturate as its conversion does.
LONG ToLong(LPCWSTR pValue) {
    const long n = WStrToL(pValue, NULL, 10);
    if (n > INT32_MAX) {
        return INT32_MAX;
    }
    if (n < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<LONG>(n);
}

} // namespace

CReadFontConfInfo::CReadFontConfInfo() {
    Reset();
}

// All zero, then the stock system font's values; not loaded.
void CReadFontConfInfo::Reset() {
    std::memset(&m_font, 0, sizeof(m_font));
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(m_font), &m_font);
    m_bLoaded = FALSE;
}

BOOL CReadFontConfInfo::LoadFontConfFile(LPCWSTR pFontConfFile) {
    if (!WCEUI_CHECK("CReadFontConfInfo::LoadFontConfFile", NULL != pFontConfFile)) {
        return FALSE;
    }
    Reset();
    CFhConfDoc doc;
    if (!doc.LoadFile(pFontConfFile, FALSE)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"can not load file %s", pFontConfFile);
        Reset();
        return FALSE;
    }
    struct LongKey {
        LPCWSTR pKey;
        LONG LOGFONTW::*pField;
    };
    static const LongKey kLongKeys[] = {
        {u"height", &LOGFONTW::lfHeight},         {u"width", &LOGFONTW::lfWidth},
        {u"escapement", &LOGFONTW::lfEscapement}, {u"orientation", &LOGFONTW::lfOrientation},
        {u"weight", &LOGFONTW::lfWeight},
    };
    struct ByteKey {
        LPCWSTR pKey;
        BYTE LOGFONTW::*pField;
    };
    static const ByteKey kByteKeys[] = {
        {u"italic", &LOGFONTW::lfItalic},
        {u"underline", &LOGFONTW::lfUnderline},
        {u"strikeout", &LOGFONTW::lfStrikeOut},
        {u"charset", &LOGFONTW::lfCharSet},
        {u"outprecision", &LOGFONTW::lfOutPrecision},
        {u"clipprecision", &LOGFONTW::lfClipPrecision},
        {u"quality", &LOGFONTW::lfQuality},
        {u"pitchandfamily", &LOGFONTW::lfPitchAndFamily},
    };
    for (const LongKey& key : kLongKeys) {
        if (LPCWSTR pValue = doc.GetValue(key.pKey)) {
            m_font.*key.pField = ToLong(pValue);
        }
    }
    for (const ByteKey& key : kByteKeys) {
        if (LPCWSTR pValue = doc.GetValue(key.pKey)) {
            m_font.*key.pField = static_cast<BYTE>(ToLong(pValue));
        }
    }
    if (LPCWSTR pValue = doc.GetValue(u"facename")) {
        WStrCpyN(m_font.lfFaceName, LF_FACESIZE, pValue);
    }
    m_bLoaded = TRUE;
    return TRUE;
}

BOOL CReadFontConfInfo::GetLogFont(LOGFONTW* pLogFont) const {
    if (!WCEUI_CHECK("CReadFontConfInfo::GetLogFont", m_bLoaded) ||
        !WCEUI_CHECK("CReadFontConfInfo::GetLogFont", NULL != pLogFont)) {
        return FALSE;
    }
    *pLogFont = m_font;
    return TRUE;
}
