// The user's documents folder, where output goes when its own folder cannot be written.
#pragma once

#include <string>

namespace tonvela {

// The XDG documents folder (`xdg-user-dir DOCUMENTS`; ~/Documents when it is not configured),
// created when missing, without a trailing "/". Empty when it cannot be determined or created.
std::string UserDocumentsFolder();

}  // namespace tonvela
