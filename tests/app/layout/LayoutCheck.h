#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

class QWidget;

namespace mirelo::test {

// What is wrong with the layout of a shown window, one line per fault; empty when nothing is:
// - a visible label, button, check box, radio button or group box title narrower (or, wrapped,
//   lower) than its text needs in its font;
// - two visible sibling widgets that overlap, unless one of them is named in `overlays` (a panel
//   that floats over the window by design);
// - a visible widget that lies outside its parent, or a window outside the screen's available
//   area or smaller than its layout's minimum.
QStringList layoutProblems(const QWidget* window, const QSet<QString>& overlays = {});

} // namespace mirelo::test
