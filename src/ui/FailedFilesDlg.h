// The summary after a batch in which some files could not be converted: how many, each file
// with what its row says, and a button that selects the chosen files' rows in the list (as a
// file manager's copy dialog lists what it could not copy).
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace tonvela {

class CFailedFilesDlg : public QDialog {
    Q_OBJECT
public:
    struct Failure {
        int row = 0;         // the file's row in the list
        std::string path;    // its source
        std::string status;  // what went wrong, as the row's tooltip says it
    };
    // total: the files of the batch. Every failure starts selected, so Enter shows them all.
    CFailedFilesDlg(const std::vector<Failure>& failures, std::size_t total, QWidget* parent);

    QListWidget* List() const { return list_; }
    QPushButton* SelectButton() const { return select_; }

signals:
    // The rows of the chosen failures, in list order; the dialog closes after it.
    void RowsChosen(const std::vector<int>& rows);

private:
    void ChooseSelected();

    QListWidget* list_;
    QPushButton* select_;
};

}  // namespace tonvela
