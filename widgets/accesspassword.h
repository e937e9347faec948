#pragma once

// The service password that unlocks the log window and guards the last-calibration time.
inline constexpr char accessPassword[] = "quirbentol57";
