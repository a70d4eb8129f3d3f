#pragma once
// Timing checks that must hold on a busy machine.

// How much longer, in microseconds, a busy machine may make a short stretch of
// untimed work next to a timed loop: the few counter reads between a loop's
// stopwatch and its first or last phase, or a test's set-up around its loop.
// The scheduler may take the processor away right there, for one time slice
// or more, and that time then counts in the outer clock only. 25 ms is several
// time slices of a 2-core machine loaded with other work; a loop whose phases
// leave out a whole phase of every pass, or half of its passes, still misses
// by more once it runs that long.
constexpr double kBusyMachineAllowanceUs = 25000.0;
