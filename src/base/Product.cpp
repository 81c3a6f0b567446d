#include "base/Product.h"

namespace mirelo {

QString productVersion() {
    return QStringLiteral(MIRELO_VERSION);
}

} // namespace mirelo
