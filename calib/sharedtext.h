#pragma once

// Texts the shared part shows on a panel's behalf: translated once, in the Calibrator context
// (Calibrator::panelText); lupdate reads the macro as QT_TR_NOOP (translations/CMakeLists.txt).
#define SHARED_TEXT(text) text
