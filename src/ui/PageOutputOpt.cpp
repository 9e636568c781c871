#include "ui/PageOutputOpt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "convert/ConvertOptions.h"
#include "convert/SettingsCatalog.h"
#include "convert/WebPlayerFiles.h"
#include "ui/MessageBox.h"

namespace tonvela {

namespace {

struct Item {
    int code;
    const char* text;
};

constexpr std::array<Item, 3> kFolderItems = {{
    {kOutputSameFolder, "Same as original file"},
    {kOutputFolderPerSwf, "Create a folder for each SWF file"},
    {kOutputCustomFolder, "A custom folder"},
}};

constexpr std::array<Item, 3> kExistsItems = {{
    {kTargetRename, "Auto rename (add number at end of file name)"},
    {kTargetOverwrite, "Overwrite"},
    {kTargetSkip, "Skip (not convert)"},
}};

constexpr std::array<Item, 3> kWebPlayerItems = {{
    {kWebPlayerNone, "None"},
    {kWebPlayerFromUrl, "From an address"},
    {kWebPlayerBesidePage, "Copied beside the page"},
}};

// What each web player choice needs, in the order of kWebPlayerItems.
constexpr std::array<const char*, 3> kWebPlayerNeeds = {{
    "Needs the Flash plug-in, which no current browser has.",
    "Needs the page on a web server. Every visitor's browser fetches the player from that address, by "
    "default a public content network, which so learns of each visit; to serve the player from your own "
    "site, copy it beside the page or give its address on your site.",
    "Needs the page on a web server with its ruffle folder (about 30 MB) uploaded too.",
}};

template <std::size_t N>
void Fill(QComboBox* box, const std::array<Item, N>& items) {
    for (const auto& item : items) box->addItem(QString::fromLatin1(item.text), item.code);
}

// Selects the item carrying code; when none does, the first item, whose code is returned.
int SelectCode(QComboBox* box, int code) {
    const int i = box->findData(code);
    box->setCurrentIndex(i >= 0 ? i : 0);
    return box->currentData().toInt();
}

// The jobs offered: up to the machine's cores, or the stored number when that is more, within
// what the setting takes.
std::pair<int, int> JobsRange(int stored) {
    const SettingRule& rule = FindSetting("ConvertJobs")->rule;
    return {rule.low, std::clamp(std::max(QThread::idealThreadCount(), stored), rule.low, rule.high)};
}

}  // namespace

CPageOutputOpt::CPageOutputOpt(const CConvertOptions& s, QWidget* parent) : COptionsPage(parent) {
    setObjectName(QStringLiteral("PageOutputOpt"));
    folderOption = s.SWFOutputFolderOpt;
    customFolder = s.SWFSpecifiedFolder;
    createDirs = s.CreateDirs != 0;
    existsOption = s.TargetExistsOpt;
    myDocuments = s.OutputFiles2MyDocuments != 0;
    browseOutFolder = s.BrowseOutFolder != 0;
    convertJobs = s.ConvertJobs;
    webPlayer = s.HtmlWebPlayer;
    webPlayerUrl = s.HtmlWebPlayerUrl;

    auto* where = new QGroupBox(tr("Output"), this);
    folderBox_ = new QComboBox(where);
    folderBox_->setObjectName(QStringLiteral("folderOption"));
    Fill(folderBox_, kFolderItems);
    folderEdit_ = new QLineEdit(where);
    folderEdit_->setObjectName(QStringLiteral("customFolder"));
    browse_ = new QPushButton(tr("&Browse"), where);
    browse_->setObjectName(QStringLiteral("browse"));
    createDirsBox_ = new QCheckBox(tr("&Create folders according to path of original file"), where);
    createDirsBox_->setObjectName(QStringLiteral("createDirs"));
    example_ = new QLabel(where);
    example_->setObjectName(QStringLiteral("example"));
    example_->setTextFormat(Qt::PlainText);
    example_->setWordWrap(true);
    existsBox_ = new QComboBox(where);
    existsBox_->setObjectName(QStringLiteral("existsOption"));
    Fill(existsBox_, kExistsItems);

    auto* folderLabel = new QLabel(tr("&Output folder:"), where);
    folderLabel->setBuddy(folderBox_);
    auto* customLabel = new QLabel(tr("Custom &folder:"), where);
    customLabel->setBuddy(folderEdit_);
    auto* existsLabel = new QLabel(tr("If target file &exists"), where);
    existsLabel->setBuddy(existsBox_);
    auto* g = new QGridLayout(where);
    g->addWidget(folderLabel, 0, 0);
    g->addWidget(folderBox_, 0, 1, 1, 2);
    g->addWidget(customLabel, 1, 0);
    g->addWidget(folderEdit_, 1, 1);
    g->addWidget(browse_, 1, 2);
    g->addWidget(createDirsBox_, 2, 1, 1, 2);
    g->addWidget(example_, 3, 1, 1, 2);
    g->addWidget(existsLabel, 4, 0);
    g->addWidget(existsBox_, 4, 1, 1, 2);
    g->setColumnStretch(1, 1);

    auto* after = new QGroupBox(tr("Conversion"), this);
    myDocumentsBox_ = new QCheckBox(tr("Save to the &Documents folder when a file cannot be created in the output folder"), after);
    myDocumentsBox_->setObjectName(QStringLiteral("myDocuments"));
    browseBox_ = new QCheckBox(tr("&Show the output folder when the conversion is done"), after);
    browseBox_->setObjectName(QStringLiteral("browseOutFolder"));
    jobs_ = new QSpinBox(after);
    jobs_->setObjectName(QStringLiteral("convertJobs"));
    jobs_->setRange(JobsRange(convertJobs).first, JobsRange(convertJobs).second);
    auto* jobsLabel = new QLabel(tr("&Number of files converted at once:"), after);
    jobsLabel->setBuddy(jobs_);
    webPlayerBox_ = new QComboBox(after);
    webPlayerBox_->setObjectName(QStringLiteral("webPlayer"));
    Fill(webPlayerBox_, kWebPlayerItems);
    auto* webLabel = new QLabel(tr("&Web player in the page:"), after);
    webLabel->setBuddy(webPlayerBox_);
    webPlayerUrl_ = new QLineEdit(after);
    webPlayerUrl_->setObjectName(QStringLiteral("webPlayerUrl"));
    webPlayerUrl_->setPlaceholderText(QString::fromLatin1(kDefaultWebPlayerUrl));
    auto* urlLabel = new QLabel(tr("Web player &address:"), after);
    urlLabel->setBuddy(webPlayerUrl_);
    webPlayerNeeds_ = new QLabel(after);
    webPlayerNeeds_->setObjectName(QStringLiteral("webPlayerNeeds"));
    webPlayerNeeds_->setWordWrap(true);
    webPlayerMissing_ = QString::fromStdString(WebPlayerMissingText(s.dataFolder + kWebPlayerFolderName));
    for (std::size_t i = 0; i < kWebPlayerNeeds.size(); ++i)
        webPlayerBox_->setItemData(int(i), tr(kWebPlayerNeeds[i]), Qt::ToolTipRole);
    webPlayerWarning_ = new QLabel(
        tr("With \"Create a folder for each SWF file\" every folder gets its own copy of the web "
           "player's files (about 30 MB)."),
        after);
    webPlayerWarning_->setObjectName(QStringLiteral("webPlayerWarning"));
    webPlayerWarning_->setWordWrap(true);
    webPlayerWarning_->setStyleSheet(QStringLiteral("color: #a05a00;"));
    auto* a = new QGridLayout(after);
    a->addWidget(myDocumentsBox_, 0, 0, 1, 3);
    a->addWidget(browseBox_, 1, 0, 1, 3);
    a->addWidget(jobsLabel, 2, 0);
    a->addWidget(jobs_, 2, 1);
    a->addWidget(webLabel, 3, 0);
    a->addWidget(webPlayerBox_, 3, 1, 1, 2);
    a->addWidget(webPlayerNeeds_, 4, 1, 1, 2);
    a->addWidget(urlLabel, 5, 0);
    a->addWidget(webPlayerUrl_, 5, 1, 1, 2);
    a->addWidget(webPlayerWarning_, 6, 0, 1, 3);
    a->setColumnStretch(2, 1);

    auto* help = new QLabel(QStringLiteral("<a href=\"#\">?</a>"), this);
    help->setToolTip(tr("Help on the output options"));
    connect(help, &QLabel::linkActivated, this,
            [dataFolder = s.dataFolder] { OpenHelpTopic(dataFolder, QStringLiteral("options.html"), QStringLiteral("output")); });

    auto* page = new QVBoxLayout(this);
    page->addWidget(where);
    page->addWidget(after);
    page->addStretch();
    page->addWidget(help, 0, Qt::AlignRight);

    // Set-up
    folderOption = SelectCode(folderBox_, folderOption);
    folderEdit_->setText(QString::fromStdString(customFolder));
    createDirsBox_->setChecked(createDirs);
    existsOption = SelectCode(existsBox_, existsOption);
    myDocumentsBox_->setChecked(myDocuments);
    browseBox_->setChecked(browseOutFolder);
    jobs_->setValue(convertJobs);
    webPlayer = SelectCode(webPlayerBox_, webPlayer);
    webPlayerUrl_->setText(QString::fromStdString(webPlayerUrl));
    OnFolderOptionChanged();

    connect(folderBox_, &QComboBox::currentIndexChanged, this, [this] { OnFolderOptionChanged(); });
    connect(webPlayerBox_, &QComboBox::currentIndexChanged, this, [this] { OnFolderOptionChanged(); });
    connect(createDirsBox_, &QCheckBox::toggled, this, [this] { UpdateExample(); });
    connect(folderEdit_, &QLineEdit::textChanged, this, [this] { UpdateExample(); });
    connect(browse_, &QPushButton::clicked, this, [this] { OnBrowse(); });
}

QString CPageOutputOpt::ExampleText(int folderOption, const QString& customFolder, bool createDirs) {
    const QString source = QStringLiteral("/home/user/Music/pop/1.mp3");
    QString target;
    switch (folderOption) {
        case kOutputFolderPerSwf: target = QStringLiteral("/home/user/Music/pop/1/1.swf"); break;
        case kOutputCustomFolder: {
            QString folder = customFolder.isEmpty() ? QStringLiteral("/srv/Output") : customFolder;
            if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
            target = folder + (createDirs ? QStringLiteral("home/user/Music/pop/1.swf") : QStringLiteral("1.swf"));
            break;
        }
        default: target = QStringLiteral("/home/user/Music/pop/1.swf"); break;
    }
    return tr("For example, %1 becomes %2").arg(source, target);
}

void CPageOutputOpt::UpdateExample() {
    example_->setText(ExampleText(folderBox_->currentData().toInt(), folderEdit_->text(), createDirsBox_->isChecked()));
}

void CPageOutputOpt::OnFolderOptionChanged() {
    const int code = folderBox_->currentData().toInt();
    const bool custom = code == kOutputCustomFolder;
    folderEdit_->setEnabled(custom);
    browse_->setEnabled(custom);
    createDirsBox_->setEnabled(custom);
    const int player = webPlayerBox_->currentData().toInt();
    webPlayerUrl_->setEnabled(player == kWebPlayerFromUrl);
    QString needs = webPlayerBox_->itemData(webPlayerBox_->currentIndex(), Qt::ToolTipRole).toString();
    if (player == kWebPlayerBesidePage && !webPlayerMissing_.isEmpty())
        needs += QLatin1Char(' ') + tr("Pages cannot get it here: %1.").arg(webPlayerMissing_);
    webPlayerNeeds_->setText(needs);
    webPlayerWarning_->setVisible(code == kOutputFolderPerSwf && player == kWebPlayerBesidePage);
    UpdateExample();
}

void CPageOutputOpt::ReadControls() {
    customFolder = folderEdit_->text().toStdString();
    createDirs = createDirsBox_->isChecked();
    myDocuments = myDocumentsBox_->isChecked();
    browseOutFolder = browseBox_->isChecked();
    convertJobs = jobs_->value();
    webPlayer = webPlayerBox_->currentData().toInt();
    // An emptied address means the standard one (shown greyed in the empty edit); an address
    // left alone stays as it was stored.
    if (webPlayerUrl_->text() != QString::fromStdString(webPlayerUrl)) {
        webPlayerUrl = webPlayerUrl_->text().trimmed().toStdString();
        if (webPlayerUrl.empty()) webPlayerUrl = kDefaultWebPlayerUrl;
    }
}

void CPageOutputOpt::OnBrowse() {
    ReadControls();
    const QString chosen = QFileDialog::getExistingDirectory(this, tr("Choose the Output Folder"),
                                                             QString::fromStdString(customFolder));
    if (chosen.isEmpty()) return;
    customFolder = chosen.toStdString();
    if (customFolder.back() != '/') customFolder += '/';
    folderEdit_->setText(QString::fromStdString(customFolder));
}

bool CPageOutputOpt::OnKillActive() {
    ReadControls();
    folderOption = folderBox_->currentData().toInt();
    if (folderOption == kOutputCustomFolder && customFolder.empty()) {
        ShowMessageBox(this, tr("Please specify an output folder."), MessageIcon::Exclamation);
        folderEdit_->setFocus();
        return false;
    }
    existsOption = existsBox_->currentData().toInt();
    return true;
}

void CPageOutputOpt::CopyBack(CConvertOptions& s) const {
    s.SWFOutputFolderOpt = folderOption;
    s.SWFSpecifiedFolder = customFolder;
    s.CreateDirs = createDirs ? 1 : 0;
    s.TargetExistsOpt = existsOption;
    s.OutputFiles2MyDocuments = myDocuments ? 1 : 0;
    s.BrowseOutFolder = browseOutFolder ? 1 : 0;
    s.ConvertJobs = convertJobs;
    s.HtmlWebPlayer = webPlayer;
    s.HtmlWebPlayerUrl = webPlayerUrl;
}

}  // namespace tonvela
