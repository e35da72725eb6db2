// The root of the framework's classes, the process-wide class registry and creation by class name.
#pragma once

#include "platform/WinCe.h"

#include <new>

// The class name string of a class, for IsKindOf and SetClassName.
#define WCEUI_CLASS_NAME(cls) (u"" #cls)

class CWceUiObject {
public:
    CWceUiObject();
    virtual ~CWceUiObject();

    void SetClassName(LPCWSTR pClassName);
    LPCWSTR GetClassName() const { return m_pClassName; }
    BOOL IsKindOf(LPCWSTR pBaseClassName) const;

private:
    LPCWSTR m_pClassName;
};

typedef CWceUiObject* (*WceUiObjectFactory)();

// Enters a class in the registry; see WCEUI_DYNCREATE_BEGIN below.
void WceUiRegisterClass(LPCWSTR pClassName, LPCWSTR pBaseClassName, WceUiObjectFactory factory);
// Enters a class name and its base, and the factory only when the class has none yet.
void WceUiDeclareClass(LPCWSTR pClassName, LPCWSTR pBaseClassName, WceUiObjectFactory factory = nullptr);
// Creates an object of a registered creatable class; the caller owns it. Null when it cannot.
CWceUiObject* WceUiCreateObject(LPCWSTR pClassName);

// The factory of classes that are known only by name: it logs and creates nothing.
CWceUiObject* WceUiKnownOnlyFactory();

struct CWceUiClassRegistrar {
    CWceUiClassRegistrar(LPCWSTR pClassName, LPCWSTR pBaseClassName, WceUiObjectFactory factory) {
        WceUiRegisterClass(pClassName, pBaseClassName, factory);
    }
};

// Registration, written in a class's header after the class, so that every compilation unit that
// sees the class registers it (repeats are harmless). The base of the root class is "0".
//     WCEUI_DYNCREATE_BEGIN(CWceUiLayer, CWceUiObject)
//     WCEUI_DYNCREATE_END(CWceUiLayer)
#define WCEUI_DYNCREATE_BEGIN(cls, base)                                                                     \
    namespace {                                                                                              \
    CWceUiObject* cls##_WceUiCreate() {                                                                      \
        return new (std::nothrow) cls;                                                                       \
    }                                                                                                        \
    const CWceUiClassRegistrar cls##_WceUiRegistrar(WCEUI_CLASS_NAME(cls), u"" #base, &cls##_WceUiCreate);
#define WCEUI_DYNCREATE_END(cls) }

#define WCEUI_DYNAMIC_BEGIN(cls, base)                                                                       \
    namespace {                                                                                              \
    const CWceUiClassRegistrar cls##_WceUiRegistrar(WCEUI_CLASS_NAME(cls), u"" #base, &WceUiKnownOnlyFactory);
#define WCEUI_DYNAMIC_END(cls) }

WCEUI_DYNCREATE_BEGIN(CWceUiObject, 0)
WCEUI_DYNCREATE_END(CWceUiObject)
