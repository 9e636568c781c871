#include "convert/HtmlPage.h"

#include <fcntl.h>

#include <cstdio>
#include <utility>

#include "convert/ConvertOptions.h"
#include "convert/ConvertResult.h"
#include "convert/FileListEntry.h"
#include "convert/WebPlayerFiles.h"
#include "platform/AtomicFile.h"
#include "platform/PathName.h"
#include "platform/PendingOutput.h"
#include "platform/PercentEncode.h"
#include "platform/UniqueFd.h"
#include "platform/WriteAll.h"
#include "swf/TemplateKind.h"

namespace tonvela {

const char* const kBuiltInHtmlTemplate =
    "<HTML><HEAD><TITLE>%T%</TITLE></HEAD>\r\n"
    "<BODY bgcolor=\"#FFFFFF\">\r\n"
    "\r\n"
    "<OBJECT classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" "
    "codebase=\"http://download.macromedia.com/pub/shockwave/cabs/flash/swflash.cab#version=6,0,0,0\" "
    "WIDTH=\"%W%\" HEIGHT=\"%H%\">\r\n"
    " <PARAM NAME=\"movie\" VALUE=\"%SWF%\">\r\n"
    " <PARAM NAME=\"quality\" VALUE=\"high\">\r\n"
    " <PARAM NAME=\"bgcolor\" VALUE=\"%BKG%\">\r\n"
    " <EMBED src=\"%SWF%\" quality=\"high\" bgcolor=\"%BKG%\" WIDTH=\"%W%\" HEIGHT=\"%H%\" "
    "TYPE=\"application/x-shockwave-flash\" PLUGINSPAGE=\"http://www.macromedia.com/go/getflashplayer\">"
    "</EMBED>\r\n"
    "</OBJECT>\r\n"
    "%SWFNAME%\r\n"
    "\r\n"
    "\r\n"
    "</BODY></HTML>\r\n";

namespace {

// A template larger than this is not a web page template; the built-in one is used.
constexpr std::size_t kMaxTemplateBytes = 16u << 20;

// Where the tag that starts at `at` ends (just after its ">"), quoted attribute values
// skipped; npos when it does not end.
std::size_t TagEnd(const std::string& page, std::size_t at) {
    char quote = 0;
    for (std::size_t i = at; i < page.size(); ++i) {
        const char c = page[i];
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return std::string::npos;
}

bool StartsNoCase(const std::string& page, std::size_t at, std::string_view word) {
    if (page.size() - at < word.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k) {
        char c = page[at + k];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != word[k]) return false;
    }
    return true;
}

// The start of the first tag named `name` (any attributes), or npos.
std::size_t FindTag(const std::string& page, std::string_view name) {
    for (std::size_t i = page.find('<'); i != std::string::npos; i = page.find('<', i + 1)) {
        if (!StartsNoCase(page, i + 1, name)) continue;
        const std::size_t after = i + 1 + name.size();
        if (after == page.size() || std::string_view(" \t\r\n\f/>").find(page[after]) != std::string_view::npos)
            return i;
    }
    return std::string::npos;
}

// A template that names its character set itself in a META tag.
bool DeclaresCharset(const std::string& page) {
    for (std::size_t i = FindTag(page, "meta"); i != std::string::npos;) {
        const std::size_t end = TagEnd(page, i);
        if (end == std::string::npos) return false;
        for (std::size_t k = i; k + 7 <= end; ++k)
            if (StartsNoCase(page, k, "charset")) return true;
        const std::size_t next = FindTag(page.substr(end), "meta");
        i = next == std::string::npos ? next : end + next;
    }
    return false;
}

// A page with non-ASCII text (a file name in the title) says it is UTF-8, so that a browser
// does not read it in a legacy code page; a page of plain ASCII, or one whose template names
// its character set, is left as it is. The line goes just after the head's start tag, else
// after the document type, never before it (that would put a browser in quirks mode).
void DeclareUtf8IfNeeded(std::string& page) {
    bool ascii = true;
    for (char c : page) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii || DeclaresCharset(page)) return;
    static const char kMeta[] = "<META http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">";
    const std::size_t head = FindTag(page, "head");
    const std::size_t headEnd = head == std::string::npos ? head : TagEnd(page, head);
    if (headEnd != std::string::npos) {
        page.insert(headEnd, kMeta);
        return;
    }
    const std::size_t doctype = FindTag(page, "!doctype");
    const std::size_t doctypeEnd = doctype == std::string::npos ? doctype : TagEnd(page, doctype);
    if (doctypeEnd != std::string::npos)
        page.insert(doctypeEnd, std::string("\r\n") + kMeta);
    else
        page.insert(0, std::string(kMeta) + "\r\n");
}

}  // namespace

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '&': out += "&amp;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string PlayerQuery(const std::string& playerName, const std::string& soundName,
                        const CConvertOptions& settings, const ConvertResult& result, bool withDuration) {
    std::string q = playerName + "?soundswf=" + soundName + "&autoplay=" + std::to_string(settings.SWFInitPlay) +
                    "&loops=" + std::to_string(settings.SWFLoopPlay);
    if (withDuration) q += "&duration=" + std::to_string(result.convertedSeconds);
    return q;
}

std::string LoadHtmlTemplate(const CConvertOptions& settings) {
    std::string text;
    if (settings.HtmlTemplateFile.empty() ||
        !ReadWholeFile(settings.HtmlTemplateFile, kMaxTemplateBytes, text))
        return kBuiltInHtmlTemplate;
    std::size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    return text;
}

bool WriteHtmlPage(const CFileListEntry& entry, const CConvertOptions& settings, int stageWidth,
                   int stageHeight, const ConvertResult& result) {
    if (entry.htmlPath.empty()) return false;
    CPendingOutput page;
    if (!page.Create(entry.htmlPath)) return false;

    const std::string swfName = NameOf(entry.swfPath);
    char bkg[8];
    const auto colour = static_cast<unsigned>(settings.SWFBkgColor);
    std::snprintf(bkg, sizeof bkg, "#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    std::string movie;
    if (!entry.playerSwfPath.empty()) {
        movie = PlayerQuery(UrlEncodeName(NameOf(entry.playerSwfPath)), UrlEncodeName(swfName), settings, result,
                            TemplateShowsTime(settings.ShellPlayerSWF));
    } else {
        movie = UrlEncodeName(swfName);
    }
    std::string shownName;
    if (settings.AddFileNameOnHtml) shownName = HtmlEscape(swfName.substr(0, swfName.size() >= 4 ? swfName.size() - 4 : 0));

    const std::pair<std::string_view, std::string> values[] = {
        {"%T%", HtmlEscape(swfName)},
        {"%BKG%", bkg},
        {"%W%", std::to_string(stageWidth)},
        {"%H%", std::to_string(stageHeight)},
        {"%SWF%", movie},
        {"%SWFNAME%", shownName},
    };
    const std::string text = LoadHtmlTemplate(settings);
    std::string scriptTag = WebPlayerScriptTag(settings);  // empty: the page for the plug-in only
    const std::size_t scriptAt = scriptTag.empty() ? 0 : WebPlayerScriptPlace(text);
    std::string out;
    out.reserve(text.size() + 512);
    for (std::size_t i = 0; i < text.size();) {
        if (i == scriptAt && !scriptTag.empty()) out += std::exchange(scriptTag, std::string());
        bool replaced = false;
        if (text[i] == '%') {
            for (const auto& [placeholder, value] : values) {
                if (text.compare(i, placeholder.size(), placeholder) == 0) {
                    out += value;
                    i += placeholder.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) out += text[i++];
    }
    out += scriptTag;  // still here only for an empty template

    DeclareUtf8IfNeeded(out);

    CUniqueFd fd(::open(page.TempPath().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (!fd.IsOpen() || !WriteAll(fd.Get(), out.data(), out.size()) || !fd.Close()) return false;
    return page.Commit();
}

}  // namespace tonvela
