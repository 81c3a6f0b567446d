#pragma once

#include <QString>

class QWidget;

namespace mirelo {

// Gives a window the product's look: the skin file is a Qt style sheet. A missing, unreadable
// or empty file leaves the default look; returns whether a skin was applied.
bool applySkin(QWidget* window, const QString& skinFile);

} // namespace mirelo
