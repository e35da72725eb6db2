#include "wceui/core/WceUiObject.h"
#include "wceui/core/WceUiLog.h"

#include <vector>

namespace {

struct ClassRecord {
    ClassRecord* pBase = nullptr;
    WceUiObjectFactory factory = nullptr;
};

struct MapEntry {
    MapEntry* pNext = nullptr;
    DWORD hash = 0;
    LPCWSTR pName = nullptr;
    ClassRecord record;
};

// Class name -> record. The names are the static strings given at registration and are not copied.
class ClassRegistry {
public:
    enum { BUCKETS = 47, POOL_BLOCK = 10 };

    static DWORD Hash(LPCWSTR name) {
        DWORD hash = 0;
        for (; *name; ++name)
            hash = hash * 33 + static_cast<WORD>(*name);
        return hash;
    }

    ClassRecord* Find(LPCWSTR name) {
        DWORD hash = Hash(name);
        for (MapEntry* e = m_buckets[hash % BUCKETS]; e; e = e->pNext) {
            if (e->hash == hash && WStrCmp(e->pName, name) == 0)
                return &e->record;
        }
        return nullptr;
    }

    ClassRecord* FindOrInsert(LPCWSTR name) {
        if (ClassRecord* r = Find(name))
            return r;
        MapEntry* e = NewEntry();
        e->hash = Hash(name);
        e->pName = name;
        e->pNext = m_buckets[e->hash % BUCKETS];
        m_buckets[e->hash % BUCKETS] = e;
        return &e->record;
    }

    LPCWSTR m_pLastRegistered = nullptr;

private:
    // Entries come from blocks of ten that live as long as the registry.
    MapEntry* NewEntry() {
        if (m_nFreeInBlock == 0) {
            m_blocks.emplace_back(new MapEntry[POOL_BLOCK]);
            m_nFreeInBlock = POOL_BLOCK;
        }
        return &m_blocks.back()[POOL_BLOCK - m_nFreeInBlock--];
    }

    MapEntry* m_buckets[BUCKETS] = {};
    std::vector<MapEntry*> m_blocks;
    int m_nFreeInBlock = 0;
};

ClassRegistry& Registry() {
    // Filled by static initialisers in any order, read until the very end: never destroyed.
    static ClassRegistry* registry = new ClassRegistry;
    return *registry;
}

bool IsRootName(LPCWSTR name) {
    return name[0] == u'0' && name[1] == 0;
}

} // namespace

void WceUiRegisterClass(LPCWSTR pClassName, LPCWSTR pBaseClassName, WceUiObjectFactory factory) {
    ClassRegistry& registry = Registry();
    if (!pClassName || !pBaseClassName || pClassName == registry.m_pLastRegistered)
        return;
    registry.m_pLastRegistered = pClassName;
    ClassRecord* record = registry.FindOrInsert(pClassName);
    record->factory = factory;
    record->pBase = IsRootName(pBaseClassName) ? nullptr : registry.FindOrInsert(pBaseClassName);
}

void WceUiDeclareClass(LPCWSTR pClassName, LPCWSTR pBaseClassName, WceUiObjectFactory factory) {
    ClassRegistry& registry = Registry();
    ClassRecord* record = registry.FindOrInsert(pClassName);
    if (!record->factory)
        record->factory = factory;
    if (!record->pBase && !IsRootName(pBaseClassName))
        record->pBase = registry.FindOrInsert(pBaseClassName);
}

CWceUiObject* WceUiKnownOnlyFactory() {
    WceUiLog(WCEUI_LOG_ERROR, "you must use WCEUI_DYNCREATE_BEGIN/WCEUI_DYNCREATE_END for dynamic create "
                              "object,not WCEUI_DYNAMIC_BEGIN/WCEUI_DYNAMIC_END.");
    return nullptr;
}

CWceUiObject* WceUiCreateObject(LPCWSTR pClassName) {
    bool valid = WCEUI_CHECK("WceUiCreateObject", NULL != pClassName);
    valid = valid && WCEUI_CHECK("WceUiCreateObject", *pClassName);
    if (!valid)
        return nullptr;
    ClassRecord* record = Registry().Find(pClassName);
    if (!record || !record->factory) {
        // A class whose name is known but whose code is not part of this program cannot be made either.
        WceUiLogW(WCEUI_LOG_ERROR,
                  u"can not create class:%s, check WCEUI_DYNCREATE_BEGIN/ WCEUI_DYNCREATE_END", pClassName);
        return nullptr;
    }
    return record->factory();
}

CWceUiObject::CWceUiObject() : m_pClassName(WCEUI_CLASS_NAME(CWceUiObject)) {}

CWceUiObject::~CWceUiObject() = default;

void CWceUiObject::SetClassName(LPCWSTR pClassName) {
    bool valid = WCEUI_CHECK("CWceUiObject::SetClassName", NULL != pClassName);
    valid = valid && WCEUI_CHECK("CWceUiObject::SetClassName", *pClassName);
    if (valid)
        m_pClassName = pClassName;
}

BOOL CWceUiObject::IsKindOf(LPCWSTR pBaseClassName) const {
    bool valid = WCEUI_CHECK("CWceUiObject::IsKindOf", NULL != pBaseClassName);
    valid = valid && WCEUI_CHECK("CWceUiObject::IsKindOf", *pBaseClassName);
    if (!valid)
        return FALSE;
    if (WStrCmp(m_pClassName, pBaseClassName) == 0)
        return TRUE;
    ClassRegistry& registry = Registry();
    ClassRecord* mine = registry.Find(m_pClassName);
    ClassRecord* base = registry.Find(pBaseClassName);
    if (!mine || !base)
        return FALSE;
    for (ClassRecord* r = mine; r; r = r->pBase) {
        if (r == base)
            return TRUE;
    }
    return FALSE;
}

namespace {

// Every class of the framework, with its base, so that kinds can be tested by name in any program
// (an application enters its own classes when it starts). Each class's own header makes it creatable where
// its code is linked in.
const struct ClassTable {
    ClassTable() {
        // The classes that are known only by name.
        WceUiDeclareClass(u"CWceUiGenericBitmap", u"CWceUiObject", &WceUiKnownOnlyFactory);
        WceUiDeclareClass(u"CRealGenericWnd", u"CWceUiObject", &WceUiKnownOnlyFactory);
        WceUiDeclareClass(u"CWceUiWndAnimate", u"CWceUiObject", &WceUiKnownOnlyFactory);
        static const LPCWSTR table[][2] = {
            {u"CWceUi565Bitmap", u"CWceUiGenericBitmap"},
            {u"CWceUi32Bitmap", u"CWceUiGenericBitmap"},
            {u"CWceUiLayer", u"CWceUiObject"},
            {u"CWceUiDlg", u"CWceUiLayer"},
            {u"CWceUiButton", u"CWceUiLayer"},
            {u"CWceUiSlider", u"CWceUiLayer"},
            {u"CWceUiScrollLayer", u"CWceUiLayer"},
            {u"CWceUiListBox", u"CWceUiScrollLayer"},
            {u"CWceUiEditBox", u"CWceUiScrollLayer"},
            {u"CWceUiMEditBox", u"CWceUiEditBox"},
            {u"CWceUiSEditBox", u"CWceUiEditBox"},
            {u"CRealWnd", u"CRealGenericWnd"},
            {u"CRealDlg", u"CRealWnd"},
            {u"CWceUiRealWnd", u"CRealDlg"},
            {u"CWceUiBarnAni", u"CWceUiWndAnimate"},
            {u"CWceUiBlendAni", u"CWceUiWndAnimate"},
            {u"CWceUiSliderAni", u"CWceUiWndAnimate"},
            {u"CWceUiComeAni", u"CWceUiWndAnimate"},
            {u"CWceUiGoAni", u"CWceUiWndAnimate"},
        };
        for (const auto& row : table)
            WceUiDeclareClass(row[0], row[1]);
    }
} s_classTable;

} // namespace
