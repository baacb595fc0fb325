#pragma once

#include <QString>

namespace tarvello::update {

// The product's name, as the site's folders spell it ("Tarvello").
QString productName();

// The maker's site address without a trailing "/": the environment variable
// TARVELLO_SITE when it is set (tests point it at a local server), else the
// program's own site.
QString siteAddress();

} // namespace tarvello::update
