// Placeholder until the recorder lands: the dialog closes at once with Cancel.
#include "ui/RecordDlg.h"

#include <QTimer>

namespace tonvela {

CRecordDlg::CRecordDlg(QWidget* parent) : QDialog(parent) {
    QTimer::singleShot(0, this, &QDialog::reject);
}

CRecordDlg::~CRecordDlg() = default;

}  // namespace tonvela
