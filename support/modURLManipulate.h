#pragma once

#include <QString>

namespace urls {

// Every "\" turned into "/".
QString backslashesToSlashes(const QString& url);
// The part of the URL after its last ".", empty when there is none.
QString lastDotPart(const QString& url);

} // namespace urls
