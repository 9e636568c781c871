// The HTML page written beside each SWF, embedding it for the Flash player plug-in.
#pragma once

#include <string>
#include <string_view>

namespace tonvela {

class CConvertOptions;
struct CFileListEntry;
struct ConvertResult;

// The page used when the data folder's "Template.htm" is missing or unreadable (CR LF lines).
extern const char* const kBuiltInHtmlTemplate;

// Writes entry.htmlPath from the template, the placeholders replaced: "%T%" the SWF's file
// name and "%SWFNAME%" that name without ".swf" (both as HTML text: < > & " escaped), "%BKG%"
// the background colour, "%W%"/"%H%" the stage size, "%SWF%" the URL-encoded movie reference
// (the player query for a shell-player pair). The template is scanned once, so text put in
// is never taken for a placeholder. A web player's script tag goes in when HtmlWebPlayer asks
// for one (WebPlayerScriptTag); the page is otherwise the same.
// The page appears complete or not at all (an older page
// of that name stays when writing fails). False when it could not be written.
bool WriteHtmlPage(const CFileListEntry& entry, const CConvertOptions& settings, int stageWidth,
                   int stageHeight, const ConvertResult& result);

// The user's template file (up to its first zero byte), or the built-in one when it cannot be
// read whole.
std::string LoadHtmlTemplate(const CConvertOptions& settings);

// "player?soundswf=sound&autoplay=A&loops=L" (+ "&duration=S" when withDuration), names
// already URL-encoded.
std::string PlayerQuery(const std::string& playerName, const std::string& soundName,
                        const CConvertOptions& settings, const ConvertResult& result, bool withDuration);

// < > & " as character references.
std::string HtmlEscape(std::string_view text);

}  // namespace tonvela
