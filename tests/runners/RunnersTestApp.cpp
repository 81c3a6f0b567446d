// The Qt application of this test program.

#include "common/TestApplication.h"

#include <QCoreApplication>

MIRELO_TEST_APPLICATION(QCoreApplication)
