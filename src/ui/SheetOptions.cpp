// Placeholder until the options sheet lands: nothing to edit, nothing changes.
#include "ui/SheetOptions.h"

namespace tonvela {

bool RunOptionsSheet(CConvertOptions&, CSettingsStore&, int&, QWidget*) { return false; }

}  // namespace tonvela
