#include "ui/MainDlg.h"

namespace tonvela {

CMainDlg::CMainDlg(QWidget* parent) : QWidget(parent) { setWindowTitle(QStringLiteral("Tonvela")); }

}  // namespace tonvela
