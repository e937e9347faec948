#pragma once

// Texts the shared part shows on a panel's behalf. They are translated in the panel's own context
// (Calibrator::panelText), so each panel's entries in the translation file hold them.
#define SHARED_TEXT(text) text
