#include "ui/TemplateList.h"

#include <QComboBox>
#include <algorithm>
#include <system_error>
#include <vector>

namespace tonvela {

namespace {

bool IsSwfFile(const std::filesystem::directory_entry& e) {
    std::error_code ec;
    if (!e.is_regular_file(ec)) return false;
    return QString::fromStdString(e.path().extension().string()).compare(QStringLiteral(".swf"), Qt::CaseInsensitive) == 0;
}

// The same file: equal paths, or two names of one existing file.
bool SamePath(const std::string& a, const std::string& b) {
    if (a == b) return true;
    std::error_code ec;
    return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, ec) && !ec;
}

}  // namespace

void FillTemplateList(QComboBox* box, const std::filesystem::path& folder, const std::string& selected) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (IsSwfFile(*it)) files.push_back(it->path());
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return QString::fromStdString(a.filename().string())
                   .compare(QString::fromStdString(b.filename().string()), Qt::CaseInsensitive) < 0;
    });
    QSignalBlocker block(box);
    int pick = files.empty() ? -1 : 0;
    for (const auto& f : files) {
        if (SamePath(f.string(), selected)) pick = box->count();
        box->addItem(QString::fromStdString(f.filename().string()), QString::fromStdString(f.string()));
    }
    box->setCurrentIndex(pick);
}

void SelectByPrefix(QComboBox* box, const QString& text) {
    if (text.isEmpty()) return;
    for (int i = 0; i < box->count(); ++i) {
        if (box->itemText(i).startsWith(text, Qt::CaseInsensitive)) {
            QSignalBlocker block(box);
            box->setCurrentIndex(i);
            return;
        }
    }
}

}  // namespace tonvela
