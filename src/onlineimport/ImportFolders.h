#pragma once

#include <QString>

namespace mirelo {

// Where downloads and the "Cache" folder go: the product's writable folder (the application
// folder of a portable copy, else the user's data folder).
QString importFolder();

// The picture shown while a page is fetched, shipped with the product.
QString loadingPicturePath();

} // namespace mirelo
