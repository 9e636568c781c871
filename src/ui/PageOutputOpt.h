// "Output Options": where the converted files go, what happens to existing targets, the
// follow-up behaviours, how many files are converted at once and the page's web player.
#pragma once

#include <QString>

#include <string>

#include "ui/OptionsPage.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace tonvela {

class CConvertOptions;

class CPageOutputOpt : public COptionsPage {
    Q_OBJECT
public:
    CPageOutputOpt(const CConvertOptions& settings, QWidget* parent = nullptr);

    bool OnKillActive() override;
    bool OnOK() override { return OnKillActive(); }
    void CopyBack(CConvertOptions& settings) const;

    // What a sample source file becomes with the folder option, the custom folder and the
    // create-folders choice (the text under the check box).
    static QString ExampleText(int folderOption, const QString& customFolder, bool createDirs);

    // Members
    int folderOption = 199;
    std::string customFolder;
    bool createDirs = false;
    int existsOption = 11;
    bool myDocuments = true;
    bool browseOutFolder = true;
    int convertJobs = 1;
    int webPlayer = 0;
    std::string webPlayerUrl;

private:
    void ReadControls();
    void OnFolderOptionChanged();
    void OnBrowse();
    void UpdateExample();

    QComboBox* folderBox_;
    QLineEdit* folderEdit_;
    QPushButton* browse_;
    QCheckBox* createDirsBox_;
    QLabel* example_;
    QComboBox* existsBox_;
    QCheckBox* myDocumentsBox_;
    QCheckBox* browseBox_;
    QSpinBox* jobs_;
    QComboBox* webPlayerBox_;
    QLineEdit* webPlayerUrl_;
    QLabel* webPlayerWarning_;
    QLabel* webPlayerNeeds_;
    // Why pages cannot get the web player beside them here (empty when they can).
    QString webPlayerMissing_;
};

}  // namespace tonvela
