#include "ui/Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initMireloResources() {
    Q_INIT_RESOURCE(mirelo);
}

namespace mirelo {

void initUiResources() {
    static const bool done = (initMireloResources(), true);
    Q_UNUSED(done);
}

} // namespace mirelo
