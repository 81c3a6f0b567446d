#include "base/CoreCount.h"

#include <QThread>

#include <algorithm>

namespace mirelo {

int coreCount() {
    return std::max(1, QThread::idealThreadCount());
}

} // namespace mirelo
