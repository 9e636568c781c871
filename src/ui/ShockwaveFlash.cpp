// Placeholder until the preview lands: no player.
#include "ui/ShockwaveFlash.h"

namespace tonvela {

std::unique_ptr<CShockwaveFlash> CShockwaveFlash::Create(QWidget*) { return nullptr; }

}  // namespace tonvela
