// Placeholder until the preview lands: the player cannot be created.
#include "ui/PlaySwfDlg.h"

#include "convert/FileListEntry.h"
#include "platform/ShellOpen.h"
#include "ui/MessageBox.h"

namespace tonvela {

void PlaySwf(const CFileListEntry& entry, const CConvertOptions&, QWidget* parent) {
    if (entry.swfPath.empty()) return;
    if (AskYesNo(parent, QStringLiteral("Adobe Flash Player hasn't been installed on your computer. The SWF file "
                                        "can't be played.\n\nDo you want to install Adobe Flash Player now? Be sure "
                                        "your computer is online.")))
        ShellOpen(entry.htmlPath.empty() ? std::string("https://www.adobe.com/go/EN_US-H-GET-FLASH") : entry.htmlPath);
}

}  // namespace tonvela
