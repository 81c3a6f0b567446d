// The Qt application of this test program.

#include "common/TestApplication.h"

#include <QApplication>

MIRELO_TEST_APPLICATION(QApplication)
