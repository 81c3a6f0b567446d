// The event loop the transfers need, for every test of this program.

#include "common/TestApplication.h"

#include <QCoreApplication>

MIRELO_TEST_APPLICATION(QCoreApplication)
