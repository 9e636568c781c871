// The options sheet: its pages edit copies of the settings; OK copies them back and saves.
#pragma once

class QWidget;

namespace tonvela {

class CConvertOptions;
class CSettingsStore;

// Runs the sheet modally, opening on lastPage. On OK the pages' values are copied back into
// settings and the option settings are saved into store (mask 8); the result is true. On
// Cancel settings keep their values (but for the shading coefficients, which the SWF page
// changes at once). Either way lastPage becomes the page that was active when it closed.
bool RunOptionsSheet(CConvertOptions& settings, CSettingsStore& store, int& lastPage, QWidget* parent);

}  // namespace tonvela
