// The application the widgets need, for every test of this program (offscreen platform).

#include "common/TestApplication.h"

#include <QApplication>

MIRELO_TEST_APPLICATION(QApplication)
