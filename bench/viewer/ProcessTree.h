#pragma once

#include <QByteArray>

#include <sys/types.h>

// Proportional set size, in KiB, of a process and all its descendants (the
// browser's helper processes included), read from /proc.
long long processTreePss(pid_t root);

// Processor time, in clock ticks, used so far by a process and all its descendants.
long long processTreeCpuTicks(pid_t root);

// Processor time, in clock ticks, used so far by the children of a process
// with the given name (as /proc/PID/stat gives it, cut to 15 characters).
long long childrenCpuTicks(pid_t parent, const QByteArray& name);
