#pragma once

// Poll period in milliseconds chosen in the Rate menu; the trend charts size their
// time window from it. Only the GUI thread touches it.
extern int pollIntervalMs;
