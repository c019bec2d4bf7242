#pragma once

#include <QString>

namespace osversion {

// The operating system's build as decimal text: the kernel release's numbers
// joined ("6.1.0-18-amd64" gives "6.1.0.18").
QString buildNumber();

} // namespace osversion
