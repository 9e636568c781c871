// One page of the options sheet: it validates itself when the user leaves it and collects its
// values when the sheet is confirmed.
#pragma once

#include <QString>
#include <QWidget>
#include <string>

namespace tonvela {

class COptionsPage : public QWidget {
    Q_OBJECT
public:
    explicit COptionsPage(QWidget* parent = nullptr) : QWidget(parent) {}

    // Leaving the page (another page or OK): reads the controls; false (after telling the user
    // why) keeps the page active.
    virtual bool OnKillActive() = 0;
    // OK: the page's last reading; false keeps the sheet open on this page.
    virtual bool OnOK() { return true; }
};

// Opens a topic of the manual in the data folder ("help/" + page, with an optional anchor).
void OpenHelpTopic(const std::string& dataFolder, const QString& page, const QString& anchor);

}  // namespace tonvela
