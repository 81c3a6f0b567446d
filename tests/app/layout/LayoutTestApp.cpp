// The Qt application of the layout tests: the offscreen platform with the screen that CTest
// describes (1024x700 logical pixels, at scale 1 or 2).

#include "common/TestApplication.h"

#include <QApplication>

MIRELO_TEST_APPLICATION(QApplication)
