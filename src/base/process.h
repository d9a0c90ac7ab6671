// SPDX-License-Identifier: MIT
// The floor's view of the running program: its id, other processes, its terminal, the local
// time, and the requests to stop (Ctrl+C, a shutdown) that a program ends cleanly on.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace trevanto::base {

long currentProcessId();

// The value of an environment variable as UTF-8 (on Windows read in UTF-16, not in the narrow
// code page), or nothing when it is not set.
std::optional<std::string> environmentVariable(const char* name);

// False only when no process with that id runs any more (one of another user still counts).
bool processRuns(long processId);

// True when standard error goes to a terminal a person watches.
bool standardErrorIsTerminal();

// The calendar parts of a time in the local time zone, or of UTC; nothing when the time cannot be
// shown so.
std::optional<std::tm> localTimeParts(std::time_t time);
std::optional<std::tm> utcTimeParts(std::time_t time);
// The time the UTC calendar parts give, fields out of their range carried over (a 13th month is
// the next year's first).
std::time_t utcTimeOf(std::tm parts);
// The name of the local time zone as UTF-8, of its daylight-saving time when the local parts say
// it is in force ("MSK", "Russia TZ 2 Standard Time"); empty when the system names none.
std::string localZoneName(const std::tm& localParts);

// From now on a request to stop the program (an interrupt from the terminal, a request to
// terminate) no longer ends it at once: stopRequested() turns true and the program ends
// itself cleanly, at the next point it looks.
void catchStopRequests();
bool stopRequested();

}  // namespace trevanto::base
