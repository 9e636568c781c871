#include "convert/RunReport.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

#include "convert/ConvertOptions.h"
#include "convert/JsonText.h"
#include "convert/OutputNames.h"
#include "convert/SettingsCatalog.h"
#include "platform/AtomicFile.h"

namespace tonvela {

std::string ReportHeaderLine(const ShardChoice& shard, bool interrupted, const CConvertOptions& options,
                             const std::string& version) {
    char host[HOST_NAME_MAX + 1] = {};
    if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
    std::string settings = "{";
    for (const SettingInfo& s : kSettingsCatalog) {
        if (settings.size() > 1) settings += ',';
        settings += JsonQuote(s.name) + ":" + JsonQuote(SettingValueText(options, s));
    }
    settings += "}";
    return std::string("{\"") + kReportHeaderKey + "\":1,\"version\":" + JsonQuote(version) +
           ",\"shard\":" + JsonQuote(std::to_string(shard.index) + "/" + std::to_string(shard.count)) +
           ",\"host\":" + JsonQuote(host) + ",\"interrupted\":" + (interrupted ? "true" : "false") +
           ",\"settings\":" + settings + "}";
}

bool WriteRunReport(const std::string& path, const std::string& header, const std::vector<std::string>& lines,
                    std::string& error) {
    std::string text = header + "\n";
    for (const std::string& l : lines) text += l + "\n";
    const std::filesystem::path p = std::filesystem::absolute(path);
    if (!EnsureFolder(p.parent_path().string())) {
        error = "cannot create the folder " + p.parent_path().string();
        return false;
    }
    errno = 0;
    if (!WriteFileAtomically(p, text)) {
        error = errno ? std::strerror(errno) : "cannot be written";
        return false;
    }
    return true;
}

}  // namespace tonvela
