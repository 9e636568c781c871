// The file list's columns: titles, widths, the text of each cell, and how a column sorts.
#pragma once

#include <string>
#include <string_view>

#include "convert/FileListEntry.h"

namespace tonvela {

enum SortKind : int {
    SortText = 0,
    SortNumber = 1,
    SortSize = 2,
    SortDate = 3,
    SortMinSec = 4,
    SortHourMinSec = 5,
    SortName = 6,  // file names as people read them (CompareNames)
};

enum class ColumnAlign { Left, Right };

struct FileListColumn {
    const char* title;
    int width;  // pixels
    ColumnAlign align;
    SortKind sort;
};

inline constexpr int kColumnFiles = 0;
inline constexpr int kColumnLength = 1;
inline constexpr int kColumnBitRate = 2;
inline constexpr int kColumnFreq = 3;
inline constexpr int kColumnChannels = 4;
inline constexpr int kColumnSwf = 5;  // written by the conversion
inline constexpr int kFileListColumnCount = 6;

inline constexpr FileListColumn kFileListColumns[kFileListColumnCount] = {
    {"Files", 152, ColumnAlign::Left, SortName},
    {"Length", 55, ColumnAlign::Right, SortMinSec},
    {"Bit Rate", 70, ColumnAlign::Right, SortNumber},
    {"Freq.", 70, ColumnAlign::Right, SortNumber},
    {"Ch.", 50, ColumnAlign::Left, SortText},
    {"SWF", 155, ColumnAlign::Left, SortText},
};

// Cell text of columns 0 to 4 for an entry; column 5 (the conversion's status) is not part of
// the entry and gives "".
std::string ColumnText(const CFileListEntry& entry, int column);
std::string LengthText(int durationSeconds);  // "%02d:%02d", minutes unbounded
std::string ChannelsText(int channels);       // "Mono", "Stereo" or the count

// Compares two cell texts by a sort kind: negative, 0 or positive (SortDate, SortMinSec and
// SortHourMinSec give the difference itself). Descending order negates the result.
int CompareCells(SortKind kind, std::string_view a, std::string_view b);

// Header clicks: the same column again toggles the direction, another column sorts ascending.
class CSortState {
public:
    // Returns true when the list is to be sorted ascending after this click on column.
    bool Click(int column) {
        ascending_ = !(column == column_ && ascending_);
        column_ = column;
        return ascending_;
    }
    int Column() const { return column_; }
    bool Ascending() const { return ascending_; }

private:
    int column_ = -1;  // no column sorted before the first click
    bool ascending_ = true;
};

}  // namespace tonvela
