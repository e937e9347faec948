#pragma once

// The exit codes of tqcal, as its manual page documents them; scripts test them.
namespace ExitCode {

enum : int
{
    Done = 0,
    CheckFailed = 1,  // a check against a reference failed
    Usage = 2,        // a usage error, or input refused before it reached the device
    NotConfirmed = 3, // the device kept another value than the one written
    Refused = 4,      // the device answered without taking the command
    NoAnswer = 5,     // no answer in time
    NoDevice = 6,     // no such device, the port cannot be opened, or it went away
    // Stopped by a signal during check or calibrate, plus the signal's number as shells count it:
    // 130 after Ctrl+C (SIGINT), 143 after SIGTERM.
    Interrupted = 128,
};

} // namespace ExitCode
