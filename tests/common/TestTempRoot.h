#pragma once

#include <QString>

namespace testing_support {

// Every temporary folder of a test process and of the processes it starts lives in one
// folder of the system's, made when the process starts (TMPDIR points into it, so Qt's
// temporary folders, the browser engine's and a child's land there) and removed when the
// process ends, after the browser engine has written the profile files it writes at its
// shutdown. A child (a death test's second run, a test program a test starts) inherits the
// folder and leaves its removal to the process that made it, so a child that ends without
// cleaning up leaves nothing behind either.
QString tempRoot();

} // namespace testing_support
