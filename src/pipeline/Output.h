// The name database: the working table copied in name order into
// <name>.names, and <name>.types beside it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dbf/DbfTable.h"
#include "dbf/StreamingIndex.h"
#include "frontend/BuildUi.h"
#include "platform/File.h"

namespace toponyx::pipeline {

// The name index of the working table, temp.ndx in the folder, built while
// the places are read (each place record written once, into it). threaded:
// its runs are sorted on a thread of their own.
std::unique_ptr<dbf::StreamingIndex> StartWorkingIndex(
    platform::FileSystem& fs, const std::string& folder, bool threaded,
    const std::optional<dbf::IndexOptions>& options = std::nullopt);

// Creates the output table at path with the working table's five fields and
// copies every record in index order. Returns the number of records copied.
// The front end hears of the progress, and processes window events, now and
// then.
// threaded: the blocks of records are written on a thread of their own.
uint64_t CopyInNameOrder(dbf::NameIndex& index, dbf::DbfTable& output, const std::string& path,
                         BuildUi& ui, platform::FileSystem& fs, bool threaded);

// The .types file: the datum lines, the full codes, the major codes.
std::string TypesFileText(const std::vector<std::string>& full_codes);
void WriteTypesFile(platform::FileSystem& fs, const std::string& path,
                    const std::vector<std::string>& full_codes);

}  // namespace toponyx::pipeline
