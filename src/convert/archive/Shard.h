// Splitting an archive between machines: every file belongs to exactly one of N shards, chosen
// by a hash of its path relative to the folder it was found under, so every machine computes
// the same split wherever the archive is mounted, and a new file never moves an old one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

struct ShardChoice {
    std::uint32_t index = 0;  // K
    std::uint32_t count = 1;  // N; 1 keeps every file
};

// "K/N" with 0 <= K < N, both decimal. False (choice unchanged) for anything else.
bool ParseShardChoice(std::string_view text, ShardChoice& choice);

// The shard (0 .. count-1) of a file by its relative path ("./" prefixes and repeated slashes
// do not count). count must be at least 1.
std::uint32_t ShardOf(std::string_view relativePath, std::uint32_t count);

// The path that decides a file's shard: path relative to root when path lies below root,
// otherwise the file's name. Both absolute.
std::string ShardKey(const std::string& path, const std::string& root);

// A file the folders given led to: its path and the folder given it was found under ("" for a
// file given by itself).
struct FoundFile {
    std::string path;
    std::string root;
};
struct ShardFile {
    std::string path;  // the first name the file was found under
    std::string key;   // what decides its shard (ShardKey)
};

// The files of shard `choice` among found, in the order found. Files reached twice (hard links,
// a file below two given folders, a symlink to a file) are one file, as a plain run merges
// them, named by the first name found. A file's key is its path relative to the first given
// folder (in the order of roots) that holds it, its name when none does; a file with several
// names takes the smallest key. So every file is in exactly one shard of N.
std::vector<ShardFile> PartitionFiles(const std::vector<FoundFile>& found, const std::vector<std::string>& roots,
                                      const ShardChoice& choice);

// Drops from paths[first..] every file outside the shard, keys taken relative to root.
void KeepShard(std::vector<std::string>& paths, std::size_t first, const std::string& root, const ShardChoice& choice);

}  // namespace tonvela
