// The web player (Ruffle) of the HTML page, which plays the movie in browsers without Flash: the
// script tag that loads it, and its files copied into a "ruffle" folder beside the pages, so that
// a page plays wherever its folder is served, without any outside address.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace tonvela {

class CConvertOptions;

// The folder beside the page, and the script the page loads from it.
inline constexpr const char* kWebPlayerFolderName = "ruffle";
inline constexpr const char* kWebPlayerScriptPath = "ruffle/ruffle.js";
// Written last into a complete copy: the version of the files copied.
inline constexpr const char* kWebPlayerMarkerName = ".tonvela-web-player";
// The status of an entry whose page would have no web player, followed by the reason.
inline constexpr const char* kStatusWebPlayerNotCopied = "Web player not copied: ";

// The script tag that loads the web player the settings ask for (HtmlWebPlayer): the address
// HtmlWebPlayerUrl (its default when empty), or the copy beside the page; empty for none. The
// default address gets integrity and crossorigin="anonymous" (an address the user set, none).
std::string WebPlayerScriptTag(const CConvertOptions& settings);
// "sha384-<base64>" of the ruffle.js that we ship, which the default address serves; empty
// when the build had none of that version.
std::string DefaultWebPlayerIntegrity();
// Where in a page template the script tag goes: before the end of its head, else before the
// first OBJECT or EMBED, else first of all.
std::size_t WebPlayerScriptPlace(std::string_view pageTemplate);

// What identifies a set of web player files: the package's version (from its package.json, when
// there) and a fingerprint of every file's name and size (the large files carry their content's
// hash in their names). Empty when the folder holds no ruffle.js.
std::string WebPlayerVersion(const std::string& folder);

// Empty when folder (the data folder's "ruffle" folder) holds the web player; otherwise what
// is missing and how to get it, for pages that copy it and for the program's preview.
std::string WebPlayerMissingText(const std::string& folder);

// Makes outputFolder/ruffle a complete copy of source (the data folder's "ruffle" folder):
// - nothing is copied when a complete copy of the same version is there;
// - otherwise the files go into a hidden temporary folder beside it, which gets the version
//   marker last and is then renamed into place (an older copy of ours is swapped out and
//   removed), so a copy that fails or is interrupted never leaves a folder that looks complete;
// - the leftovers of interrupted copies (temporary folders whose process is gone) are removed;
// - a "ruffle" that this program did not make is never touched: the page uses it when it holds
//   ruffle.js, else it is an error.
// False, with error set to a short reason, when the files cannot be put there.
bool CopyWebPlayerFiles(const std::string& source, const std::string& outputFolder, std::string& error);

// One batch's copies: each output folder is brought up to date once (the first page written
// there does it, the others find it done), one copy at a time.
class CWebPlayerCopies {
public:
    explicit CWebPlayerCopies(std::string source) : source_(std::move(source)) {}
    // The copies of a batch with these settings: none (null) unless its pages load the web
    // player from beside them; the files come from the data folder's "ruffle" folder.
    static std::unique_ptr<CWebPlayerCopies> ForBatch(const CConvertOptions& settings);

    // CopyWebPlayerFiles for outputFolder unless done already in this batch.
    bool Ensure(const std::string& outputFolder, std::string& error);
    // Ensure for the folder of a page; true when there is no page. copies may be null.
    static bool EnsureForPage(CWebPlayerCopies* copies, const std::string& htmlPath, std::string& error);

private:
    std::string source_;
    std::mutex mutex_;
    std::set<std::string> done_;
};

}  // namespace tonvela
