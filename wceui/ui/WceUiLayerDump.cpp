#include "wceui/ui/WceUiLayerDump.h"

#include "platform/WinString.h"
#include "wceui/ui/WceUiLayer.h"
#include "wceui/ui/WceUiLayerCtrl.h"

#include <utility>
#include <vector>

std::string WceUiDumpQuote(LPCWSTR pText) {
    std::u16string escaped;
    for (LPCWSTR p = pText ? pText : u""; *p; ++p) {
        switch (*p) {
            case u'\\':
                escaped += u"\\\\";
                break;
            case u'"':
                escaped += u"\\\"";
                break;
            case u'\r':
                // "\r\n" is one line break, and so is a lone "\r".
                if (p[1] == u'\n') {
                    ++p;
                }
                escaped += u"\\n";
                break;
            case u'\n':
                escaped += u"\\n";
                break;
            default:
                escaped += *p;
        }
    }
    return "\"" + WideToUtf8(escaped) + "\"";
}

namespace {

void AppendLayerLine(const CWceUiLayer* pLayer, int nDepth, std::string* pOut) {
    const std::string indent(static_cast<size_t>(nDepth) * 2, ' ');
    RECT rc = {0, 0, 0, 0};
    pLayer->GetWindowRect(&rc);
    std::string line =
        indent + WideToUtf8(pLayer->GetClassName()) + " " + WceUiDumpQuote(pLayer->GetName()) + " " +
        std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) + "," +
        std::to_string(rc.bottom) + (pLayer->IsLayerVisible() ? " visible" : " hidden") +
        (pLayer->IsLayerEnabled() ? " enabled " : " disabled ") + WceUiDumpQuote(pLayer->GetDumpText());
    std::vector<std::string> extra;
    pLayer->AppendDumpInfo(&line, &extra);
    *pOut += line;
    *pOut += '\n';
    for (const std::string& e : extra) {
        *pOut += indent + "  " + e + "\n";
    }
}

} // namespace

std::string WceUiDumpLayer(const CWceUiLayer* pLayer, int nDepth) {
    std::string out;
    if (NULL == pLayer) {
        return out;
    }
    // An explicit stack: layers added in code may nest deeper than the call stack should.
    std::vector<std::pair<const CWceUiLayer*, int>> stack;
    stack.emplace_back(pLayer, nDepth);
    while (!stack.empty()) {
        const auto [p, depth] = stack.back();
        stack.pop_back();
        AppendLayerLine(p, depth, &out);
        // Children go on in reverse so that the first drawn comes out first.
        for (CWceUiLayer* c = p->GetLastChild(); NULL != c; c = p->PreChild(c)) {
            stack.emplace_back(c, depth + 1);
        }
    }
    return out;
}

std::string WceUiDumpLayerTree(const CWceUiLayerCtrl* pLayerCtrl) {
    return NULL == pLayerCtrl ? std::string() : WceUiDumpLayer(pLayerCtrl->RootLayer(), 0);
}
