#pragma once

// Installs every model panel into the identification table; call once before devices are opened.
void registerPanels();
