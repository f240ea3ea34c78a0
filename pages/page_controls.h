// The common-control classes the page dialogs use (trackbars, list views, up-down buttons).
#pragma once

// Registers them once per process; later calls return at once.
void LoadPageControlClasses();
