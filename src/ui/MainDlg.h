// The main window: the file list, the command buttons, the menus.
#pragma once

#include <QWidget>

namespace tonvela {

class CMainDlg : public QWidget {
    Q_OBJECT
public:
    explicit CMainDlg(QWidget* parent = nullptr);
};

}  // namespace tonvela
