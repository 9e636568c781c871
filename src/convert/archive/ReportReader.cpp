#include "convert/archive/ReportReader.h"

#include <climits>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <utility>

#include "convert/archive/RunJournal.h"

namespace tonvela {

namespace {

using Json = nlohmann::json;

// Reports write a path byte that is not UTF-8 as the lone escape \udcXX, which JSON parsers
// refuse. It is read as the private-use character U+F7XX and turned back into the byte after.
std::string LoneEscapesToPrivate(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            if (line.compare(i, 4, "\\udc") == 0 && i + 6 <= line.size()) {
                out += "\\uf7";
                out.append(line.substr(i + 4, 2));
                i += 5;
            } else {
                out.append(line.substr(i, 2));
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

// Field readers: a missing field keeps the value; a field of another type is an error.
class CFields {
public:
    CFields(const Json& j, std::string& error) : j_(j), error_(error) {}
    bool Ok() const { return error_.empty(); }
    bool Has(const char* key) const { return j_.contains(key); }

    void Text(const char* key, std::string& out, bool required = false) {
        const Json* v = Find(key, required);
        if (!v || v->is_null()) return;
        if (!v->is_string()) return Bad(key, "a string");
        out = PrivateToBytes(v->get_ref<const std::string&>());
    }
    void Bool(const char* key, bool& out) {
        const Json* v = Find(key, false);
        if (!v) return;
        if (!v->is_boolean()) return Bad(key, "true or false");
        out = v->get<bool>();
    }
    // Null counts as absent (the file was not loaded); false when absent.
    bool Unsigned(const char* key, std::uint64_t& out) {
        const Json* v = Find(key, false);
        if (!v || v->is_null()) return false;
        if (!v->is_number_unsigned()) {
            Bad(key, "a whole number of 0 or more");
            return false;
        }
        out = v->get<std::uint64_t>();
        return true;
    }
    bool Signed(const char* key, std::int64_t& out) {
        const Json* v = Find(key, false);
        if (!v || v->is_null()) return false;
        if (!v->is_number_integer() ||
            (v->is_number_unsigned() && v->get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX))) {
            Bad(key, "a whole number");
            return false;
        }
        out = v->get<std::int64_t>();
        return true;
    }
    void Number(const char* key, double& out) {
        const Json* v = Find(key, false);
        if (!v || v->is_null()) return;
        if (!v->is_number()) return Bad(key, "a number");
        out = v->get<double>();
    }
    const Json* Array(const char* key) {
        const Json* v = Find(key, false);
        if (!v || v->is_null()) return nullptr;
        if (!v->is_array()) {
            Bad(key, "a list");
            return nullptr;
        }
        return v;
    }

private:
    const Json* Find(const char* key, bool required) {
        if (!Ok()) return nullptr;
        const auto it = j_.find(key);
        if (it == j_.end()) {
            if (required) error_ = std::string("\"") + key + "\" is missing";
            return nullptr;
        }
        return &*it;
    }
    void Bad(const char* key, const char* what) { error_ = std::string("\"") + key + "\" is not " + what; }

    const Json& j_;
    std::string& error_;
};

bool ReadOutputs(CFields& f, ReportEntry& e, std::string& error) {
    const Json* list = f.Array("outputs");
    if (!list) return f.Ok();
    for (const Json& o : *list) {
        if (!o.is_object()) {
            error = "an entry of \"outputs\" is not an object";
            return false;
        }
        EntryOutputFile out;
        CFields of(o, error);
        of.Text("path", out.path, true);
        of.Unsigned("size", out.size);
        if (!of.Ok()) return false;
        if (out.path.empty()) {
            error = "an output without a path";
            return false;
        }
        e.outputs.push_back(std::move(out));
    }
    return true;
}

bool ReadEntry(const Json& j, int version, ReportEntry& e, std::string& error) {
    CFields f(j, error);
    f.Bool("named", e.named);
    f.Text("path", e.path, true);
    f.Text("rel", e.rel);
    f.Text("settings", e.settings);
    const bool sized = f.Unsigned("size", e.size);
    const bool timed = f.Signed("mtimeNs", e.mtimeNs);
    e.stamped = sized && timed;
    if (!f.Ok()) return false;
    if (e.path.empty()) {
        error = "an entry without a path";
        return false;
    }
    if (!ReadOutputs(f, e, error)) return false;
    if (e.named) return true;
    bool ok = false, alreadyDone = false;
    f.Bool("ok", ok);
    f.Bool("alreadyDone", alreadyDone);
    f.Text("status", e.status);
    f.Number("durationSeconds", e.seconds);
    for (const auto& [key, field] : {std::pair{"channels", &e.channels}, std::pair{"sampleRate", &e.sampleRate},
                                     std::pair{"bitRate", &e.bitRate}, std::pair{"kind", &e.kind}}) {
        std::int64_t v = 0;
        if (f.Signed(key, v)) {
            if (v < INT32_MIN || v > INT32_MAX) {
                error = std::string("\"") + key + "\" is out of range";
                return false;
            }
            *field = static_cast<int>(v);
        }
    }
    f.Unsigned("swfBytes", e.swfBytes);
    std::string outcome;
    f.Text("outcome", outcome, version >= 2);
    if (!f.Ok()) return false;
    if (version >= 2) {
        if (!ParseOutcomeName(outcome, e.outcome)) {
            error = "unknown outcome \"" + outcome + "\"";
            return false;
        }
        if (ok != e.Ok()) {
            error = "\"ok\" disagrees with \"outcome\"";
            return false;
        }
    } else {
        e.outcome = !ok ? EntryOutcome::Failed : alreadyDone ? EntryOutcome::AlreadyDone : EntryOutcome::Converted;
    }
    return true;
}

}  // namespace

bool ParseReport(std::string_view text, ParsedReport& report, std::string& error) {
    report = ParsedReport{};
    error.clear();
    std::size_t start = 0;
    std::size_t number = 0;
    bool lastWasClosing = false;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(number) + ": " + why;
        return false;
    };
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        ++number;
        if (end == std::string_view::npos) {
            // A line without its end: the writer was stopped in the middle of it.
            report.cutLine = true;
            break;
        }
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty()) continue;
        const Json j = Json::parse(LoneEscapesToPrivate(line), nullptr, false);
        if (!j.is_object()) return fail("not a JSON object");
        if (j.contains(kReportHeaderKey)) {
            const Json& v = j[kReportHeaderKey];
            if (!v.is_number_unsigned()) return fail(std::string("\"") + kReportHeaderKey + "\" is not a version number");
            const std::uint64_t version = v.get<std::uint64_t>();
            if (version < 1 || version > static_cast<std::uint64_t>(kReportVersion))
                return fail("unknown report version " + std::to_string(version) + " (this program reads 1 to " +
                            std::to_string(kReportVersion) + ")");
            CFields f(j, error);
            std::string shardText;
            f.Text("shard", shardText, true);
            std::int64_t started = 0;
            f.Signed("startedNs", started);
            bool interrupted = false;
            f.Bool("interrupted", interrupted);
            if (!f.Ok()) return fail(error);
            ShardChoice shard;
            if (!ParseShardChoice(shardText, shard)) return fail("\"shard\" is not K/N");
            if (report.runs > 0 && (shard.index != report.shard.index || shard.count != report.shard.count ||
                                    static_cast<int>(version) != report.version))
                return fail("a run of another shard or version continues this report");
            if (report.runs == 0) {
                report.version = static_cast<int>(version);
                report.shard = shard;
                report.startedNs = started;
            }
            ++report.runs;
            // Version 1 was written whole at the end; its header said whether the run was stopped.
            report.closed = version == 1 && !interrupted;
            report.interrupted = interrupted;
            lastWasClosing = false;
            continue;
        }
        if (report.runs == 0) return fail("the report's header line is missing");
        if (j.contains(kReportEndKey)) {
            CFields f(j, error);
            bool interrupted = false;
            f.Bool("interrupted", interrupted);
            if (!f.Ok()) return fail(error);
            report.closed = true;
            report.interrupted = interrupted;
            lastWasClosing = true;
            continue;
        }
        if (lastWasClosing) return fail("an entry after the closing line");
        ReportEntry e;
        e.line = number;
        if (!ReadEntry(j, report.version, e, error)) return fail(error);
        report.entries.push_back(std::move(e));
        if (report.version >= 2) report.closed = false;
    }
    if (report.runs == 0) {
        number = 1;
        return fail("the report's header line is missing");
    }
    if (!report.closed || report.cutLine) report.interrupted = true;
    return true;
}

}  // namespace tonvela
