// The layer-tree dump that tests, skin authors and scripts read: UTF-8, one layer a line, the root
// first and children in drawing order, two spaces of indent per depth:
//     <class> "<name>" <left>,<top>,<right>,<bottom> <visible|hidden> <enabled|disabled> "<text>"
// The rectangle is the window rectangle; a layer is visible or enabled only when all its parents are;
// names and texts escape "\" as "\\", '"' as "\"" and line breaks as "\n". Layers may append
// " key=value" pairs and lines of their own through CWceUiLayer::AppendDumpInfo.
#pragma once

#include "platform/WinCe.h"

#include <string>

class CWceUiLayerCtrl;
class CWceUiLayer;

// The dump of a whole layer tree, starting at the controller's root.
std::string WceUiDumpLayerTree(const CWceUiLayerCtrl* pLayerCtrl);
// The dump of one layer and everything below it; its own line gets the given depth.
std::string WceUiDumpLayer(const CWceUiLayer* pLayer, int nDepth = 0);
// A text quoted for the dump: UTF-8 with the escapes above, between double quotes.
std::string WceUiDumpQuote(LPCWSTR pText);
