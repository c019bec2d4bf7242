#pragma once

#include <sys/types.h>

// Proportional set size, in KiB, of a process and all its descendants (the
// browser's helper processes included), read from /proc.
long long processTreePss(pid_t root);
