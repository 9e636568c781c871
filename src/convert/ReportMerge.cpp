#include "convert/ReportMerge.h"

#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "convert/JsonText.h"
#include "convert/RunReport.h"
#include "convert/Shard.h"
#include "platform/AtomicFile.h"

namespace tonvela {

namespace {

// Reports write a path byte that is not UTF-8 as the lone escape \udcXX, which JSON parsers
// refuse. It is read as the private-use character U+F7XX and turned back into the byte after.
std::string LoneEscapesToPrivate(const std::string& line) {
    std::string out;
    out.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            if (line.compare(i, 4, "\\udc") == 0 && i + 6 <= line.size()) {
                out += "\\uf7";
                out.append(line, i + 4, 2);
                i += 5;
            } else {
                out.append(line, i, 2);
                ++i;
            }
            continue;
        }
        out += line[i];
    }
    return out;
}

std::string PrivateToBytes(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
        // U+F780..U+F7FF is EF 9E 80..EF 9F BF in UTF-8; only bytes 0x80 and above are escaped.
        if (c(0) == 0xEF && i + 2 < s.size() && (c(1) == 0x9E || c(1) == 0x9F) && (c(2) & 0xC0) == 0x80) {
            out += static_cast<char>(((c(1) & 0x03) << 6) | (c(2) & 0x3F));
            i += 2;
            continue;
        }
        out += s[i];
    }
    return out;
}

struct FileState {
    bool ok = false;
    bool alreadyDone = false;
    std::string status;
    double seconds = 0;
    std::uint64_t swfBytes = 0;
};

std::string Text(const nlohmann::json& j, const char* key) {
    const auto it = j.find(key);
    return it != j.end() && it->is_string() ? PrivateToBytes(it->get<std::string>()) : std::string();
}

}  // namespace

std::vector<ReportFile> ReadReports(const std::vector<std::string>& names) {
    constexpr std::size_t kMaxReportBytes = std::size_t{1} << 30;
    std::vector<ReportFile> reports;
    for (const std::string& name : names) {
        ReportFile r{name, false, {}};
        r.readable = ReadWholeFile(name, kMaxReportBytes, r.text);
        reports.push_back(std::move(r));
    }
    return reports;
}

ReportSummary MergeReports(const std::vector<ReportFile>& reports) {
    ReportSummary summary;
    std::map<std::string, FileState> files;
    std::map<std::uint32_t, std::set<std::uint32_t>> shards;  // N -> the K that reported
    for (const ReportFile& r : reports) {
        if (!r.readable) {
            summary.problems.push_back("report " + r.name + ": cannot be read");
            continue;
        }
        std::size_t start = 0;
        bool headerSeen = false;
        bool bad = false;
        while (start < r.text.size() && !bad) {
            std::size_t end = r.text.find('\n', start);
            if (end == std::string::npos) end = r.text.size();
            const std::string line = r.text.substr(start, end - start);
            start = end + 1;
            if (line.empty()) continue;
            const nlohmann::json j = nlohmann::json::parse(LoneEscapesToPrivate(line), nullptr, false);
            if (!j.is_object()) {
                bad = true;
                break;
            }
            if (!headerSeen) {
                ShardChoice choice;
                if (!j.contains(kReportHeaderKey) || !ParseShardChoice(Text(j, "shard"), choice)) {
                    bad = true;
                    break;
                }
                headerSeen = true;
                shards[choice.count].insert(choice.index);
                if (j.value("interrupted", false))
                    summary.problems.push_back("report " + r.name + ": the run was interrupted");
                continue;
            }
            FileState s;
            s.ok = j.value("ok", false);
            s.alreadyDone = j.value("alreadyDone", false);
            s.status = Text(j, "status");
            const auto d = j.find("durationSeconds");
            if (d != j.end() && d->is_number()) s.seconds = d->get<double>();
            const auto b = j.find("swfBytes");
            if (b != j.end() && b->is_number_unsigned()) s.swfBytes = b->get<std::uint64_t>();
            FileState& known = files[Text(j, "path")];
            if (!known.ok) known = s;  // a file done by any report is done
        }
        if (bad || !headerSeen) {
            summary.problems.push_back("report " + r.name + ": not a tonvela-convert report");
            continue;
        }
        ++summary.reports;
    }
    for (const auto& [n, ks] : shards)
        for (std::uint32_t k = 0; k < n; ++k)
            if (!ks.count(k)) summary.problems.push_back("missing report: shard " + std::to_string(k) + "/" + std::to_string(n));
    for (const auto& [path, s] : files) {
        if (!s.ok) {
            summary.failures.push_back({path, s.status.empty() ? "not converted" : s.status});
            continue;
        }
        ++(s.alreadyDone ? summary.alreadyDone : summary.converted);
        summary.audioSeconds += s.seconds;
        summary.swfBytes += s.swfBytes;
    }
    return summary;
}

std::string SummaryText(const ReportSummary& s) {
    char hours[32];
    std::snprintf(hours, sizeof hours, "%.2f", s.audioSeconds / 3600.0);
    std::string t = "reports: " + std::to_string(s.reports) + "\n";
    t += "files converted: " + std::to_string(s.converted) + "\n";
    t += "files already done: " + std::to_string(s.alreadyDone) + "\n";
    t += "files failed: " + std::to_string(s.failures.size()) + "\n";
    for (const ReportFailure& f : s.failures) t += "  " + f.path + ": " + f.status + "\n";
    t += "audio hours: " + std::string(hours) + "\n";
    t += "SWF bytes: " + std::to_string(s.swfBytes) + "\n";
    for (const std::string& p : s.problems) t += p + "\n";
    return t;
}

std::string SummaryJson(const ReportSummary& s) {
    std::string failures = "[";
    for (const ReportFailure& f : s.failures) {
        if (failures.size() > 1) failures += ',';
        failures += "{\"path\":" + JsonQuote(f.path) + ",\"status\":" + JsonQuote(f.status) + "}";
    }
    std::string problems = "[";
    for (const std::string& p : s.problems) {
        if (problems.size() > 1) problems += ',';
        problems += JsonQuote(p);
    }
    return "{\"ok\":" + std::string(s.Ok() ? "true" : "false") + ",\"reports\":" + std::to_string(s.reports) +
           ",\"converted\":" + std::to_string(s.converted) + ",\"alreadyDone\":" + std::to_string(s.alreadyDone) +
           ",\"failed\":" + failures + "],\"audioSeconds\":" + nlohmann::json(s.audioSeconds).dump() +
           ",\"swfBytes\":" + std::to_string(s.swfBytes) + ",\"problems\":" + problems + "]}";
}

}  // namespace tonvela
