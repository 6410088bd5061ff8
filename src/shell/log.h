// The diagnostic log Debug.txt in the working directory: one time-stamped
// line per call, from either thread. The file is opened, written with one
// call and closed every time, so the two threads' lines never interleave.
#ifndef ORVANEL_SHELL_LOG_H_
#define ORVANEL_SHELL_LOG_H_

// Appends "(yyyy:mm:dd_hh:mm:ss) - " (space-padded), the message and a line
// feed. A message longer than the line's 486 characters is cut; a log that
// cannot be opened loses the message silently.
void LogMessage(const char* message);

// Formats the message printf-style first. Text that may hold a percent sign
// (a URL, a path) must be an argument, never the format.
void LogFormatted(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

#endif  // ORVANEL_SHELL_LOG_H_
